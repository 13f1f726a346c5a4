#include "notify/toast_events.h"

#include <cwchar>
#include <string>

namespace toast {
namespace {

constexpr int kUserCanceled = 0;
constexpr int kTimedOut = 2;

}  // namespace

int ParseActionIndex(std::wstring_view arguments)
{
    const std::wstring terminated(arguments);
    return static_cast<int>(std::wcstol(terminated.c_str(), nullptr, 10));
}

int DismissalReason(int reported, std::int64_t expiry, std::int64_t now)
{
    return reported == kUserCanceled && expiry != 0 && now >= expiry ? kTimedOut : reported;
}

desktop::ActivatedDelegate MakeActivatedDelegate(std::shared_ptr<IToastHandler> handler)
{
    return [handler = std::move(handler)](const std::optional<std::wstring>& arguments) {
        if (arguments && !arguments->empty()) {
            handler->OnActivatedWithAction(ParseActionIndex(*arguments));
        } else {
            handler->OnActivated();
        }
    };
}

desktop::DismissedDelegate MakeDismissedDelegate(std::shared_ptr<IToastHandler> handler, std::int64_t expiry,
                                                 std::function<std::int64_t()> now)
{
    return [handler = std::move(handler), expiry, now = std::move(now)](std::optional<int> reason) {
        if (!reason) return;
        handler->OnDismissed(DismissalReason(*reason, expiry, now()));
    };
}

desktop::FailedDelegate MakeFailedDelegate(std::shared_ptr<IToastHandler> handler)
{
    return [handler = std::move(handler)] { handler->OnFailed(); };
}

}  // namespace toast
