#include "platform/toast_platform.h"

#include <random>

#include "platform/app_identity.h"
#include "platform/executable_path.h"
#include "platform/notification_service.h"
#include "platform/os_version.h"
#include "platform/shortcut.h"
#include "platform/system_time.h"
#include "platform/toast_template_content.h"

namespace platform {
namespace {

// The freedesktop notification service, desktop-entry shortcuts; no COM.
class LinuxToastPlatform final : public ToastPlatform {
public:
    bool LoadPlatformFunctions() override { return SessionBusReachable(); }
    HResult SetCurrentProcessExplicitAppUserModelID(const std::wstring& id) override
    {
        return platform::SetCurrentProcessExplicitAppUserModelID(id);
    }
    HResult InitializeCom() override { return hresult::kOk; }
    void UninitializeCom() override {}
    std::uint32_t MajorVersion() override { return WindowsMajorVersion(); }
    std::int64_t SystemTimeAsFileTime() override { return platform::SystemTimeAsFileTime(); }

    HResult CreateGuidFirstField(std::uint32_t& field) override
    {
        try {
            std::random_device random;
            field = static_cast<std::uint32_t>(random());
            return hresult::kOk;
        } catch (const std::exception&) {
            return hresult::kFail;
        }
    }

    std::wstring ExecutablePath() override { return platform::ExecutablePath(); }
    std::wstring ShortcutFolder() override { return platform::ShortcutFolder(); }
    std::wstring ShortcutExtension() override { return platform::ShortcutExtension(); }
    bool ShortcutExists(const std::wstring& path) override { return platform::ShortcutExists(path); }
    HResult ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id) override
    {
        return platform::ReadShortcutId(path, id);
    }
    HResult WriteShortcutId(const std::wstring& path, const std::wstring& id) override
    {
        return platform::WriteShortcutId(path, id);
    }
    HResult CreateShortcut(const std::wstring& path, const ShortcutLink& link) override
    {
        return platform::CreateShortcut(path, link);
    }

    HResult CreateToastNotifier(const std::wstring&, const std::wstring& application_name,
                                std::shared_ptr<ToastNotifier>& notifier) override
    {
        return CreateDesktopNotifier(application_name, notifier);
    }
    HResult GetTemplateContent(std::int32_t type, std::unique_ptr<XmlDocument>& document) override
    {
        return platform::GetTemplateContent(type, document);
    }
    HResult CreateToastNotification(const XmlDocument& document,
                                    std::shared_ptr<ToastNotification>& notification) override
    {
        return CreateDesktopNotification(document, notification);
    }
};

}  // namespace

ToastPlatform& SystemToastPlatform()
{
    static LinuxToastPlatform platform;
    return platform;
}

}  // namespace platform
