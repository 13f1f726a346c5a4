#include "support/fake_toast_platform.h"

#include "desktop/toast/toast_template_content.h"

namespace testing_support {
namespace {

namespace hresult = platform::hresult;

class FakeNotifier : public desktop::ToastNotifier {
public:
    explicit FakeNotifier(FakeToastPlatform& platform) : platform_(platform) {}

    HResult Show(const std::shared_ptr<desktop::ToastNotification>& notification) override
    {
        platform_.shown.push_back(static_cast<FakeNotification&>(*notification).xml);
        return platform_.show_result;
    }
    HResult Hide(const std::shared_ptr<desktop::ToastNotification>& notification) override
    {
        platform_.hidden.push_back(static_cast<FakeNotification&>(*notification).xml);
        return platform_.hide_result;
    }

private:
    FakeToastPlatform& platform_;
};

}  // namespace

HResult FakeNotification::PutExpirationTime(std::int64_t filetime)
{
    if (platform::Failed(expiration_result)) return expiration_result;
    expiry = filetime;
    return hresult::kOk;
}

HResult FakeNotification::AddActivated(desktop::ActivatedDelegate delegate)
{
    activated.push_back(std::move(delegate));
    return hresult::kOk;
}

HResult FakeNotification::AddDismissed(desktop::DismissedDelegate delegate)
{
    if (platform::Failed(dismissed_result)) return dismissed_result;
    dismissed.push_back(std::move(delegate));
    return hresult::kOk;
}

HResult FakeNotification::AddFailed(desktop::FailedDelegate delegate)
{
    failed.push_back(std::move(delegate));
    return hresult::kOk;
}

HResult FakeToastPlatform::SetCurrentProcessExplicitAppUserModelID(const std::wstring& id)
{
    if (platform::Failed(identity_result)) return identity_result;
    identity = id;
    return hresult::kOk;
}

HResult FakeToastPlatform::InitializeCom()
{
    ++com_inits;
    return com_result;
}

HResult FakeToastPlatform::CreateGuidFirstField(std::uint32_t& field)
{
    if (platform::Failed(guid_result)) return guid_result;
    field = guids.empty() ? 0x1234u : guids.front();
    if (!guids.empty()) guids.pop_front();
    return hresult::kOk;
}

bool FakeToastPlatform::ShortcutExists(const std::wstring& path)
{
    ++shortcut_calls;
    return shortcuts.contains(path);
}

HResult FakeToastPlatform::ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id)
{
    ++shortcut_calls;
    if (platform::Failed(read_result)) return read_result;
    id = shortcuts.at(path).id;
    return hresult::kOk;
}

HResult FakeToastPlatform::WriteShortcutId(const std::wstring& path, const std::wstring& id)
{
    ++shortcut_calls;
    if (platform::Failed(write_result)) return write_result;
    shortcuts.at(path).id = id;
    return hresult::kOk;
}

HResult FakeToastPlatform::CreateShortcut(const std::wstring& path, const desktop::ShortcutLink& link)
{
    ++shortcut_calls;
    if (platform::Failed(create_result)) return create_result;
    if (path.empty()) return hresult::kInvalidArgument;
    shortcuts[path] = {link.app_user_model_id, link};
    return hresult::kOk;
}

HResult FakeToastPlatform::CreateToastNotifier(const std::wstring& app_user_model_id, const std::wstring&,
                                               std::shared_ptr<desktop::ToastNotifier>& notifier)
{
    notifier_ids.push_back(app_user_model_id);
    if (platform::Failed(notifier_result)) return notifier_result;
    notifier = std::make_shared<FakeNotifier>(*this);
    return hresult::kOk;
}

HResult FakeToastPlatform::GetTemplateContent(std::int32_t type, std::unique_ptr<desktop::XmlDocument>& document)
{
    if (platform::Failed(template_result)) return template_result;
    return desktop::GetTemplateContent(type, document);
}

HResult FakeToastPlatform::CreateToastNotification(const desktop::XmlDocument& document,
                                                   std::shared_ptr<desktop::ToastNotification>& notification)
{
    if (platform::Failed(notification_result)) return notification_result;
    auto created = std::make_shared<FakeNotification>(document.GetXml());
    created->expiration_result = expiration_result;
    created->dismissed_result = dismissed_result;
    notifications.push_back(created);
    notification = created;
    return hresult::kOk;
}

void RecordingHandler::OnActivatedWithAction(int action_index)
{
    log_->events.push_back("action " + std::to_string(action_index));
}

void RecordingHandler::OnDismissed(int reason) { log_->events.push_back("dismissed " + std::to_string(reason)); }

}  // namespace testing_support
