#pragma once
// Translating a notification's platform events into handler calls. Each
// delegate holds one shared reference to the notification's handler.
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "desktop/toast/toast_platform.h"
#include "notify/toast_handler.h"

namespace toast {

// The standard wide-string-to-long parse narrowed to int: leading space and
// a sign are accepted, parsing stops at the first non-digit, no digits give 0.
int ParseActionIndex(std::wstring_view arguments);

// A user dismissal at or after a set expiry counts as TimedOut.
int DismissalReason(int reported, std::int64_t expiry, std::int64_t now);

desktop::ActivatedDelegate MakeActivatedDelegate(std::shared_ptr<IToastHandler> handler);
// `expiry` is in FILETIME units, 0 for none; `now` reads the current time.
desktop::DismissedDelegate MakeDismissedDelegate(std::shared_ptr<IToastHandler> handler, std::int64_t expiry,
                                                 std::function<std::int64_t()> now);
desktop::FailedDelegate MakeFailedDelegate(std::shared_ptr<IToastHandler> handler);

}  // namespace toast
