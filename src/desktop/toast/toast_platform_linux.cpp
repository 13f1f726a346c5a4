#include "desktop/toast/toast_platform.h"

#include <random>

#include "desktop/toast/shared_toast_platform.h"
#include "desktop/toast/toast_service_linux.h"

namespace desktop {
namespace {

// The freedesktop notification service, desktop-entry shortcuts; no COM.
class LinuxToastPlatform final : public SharedToastPlatform {
public:
    bool LoadPlatformFunctions() override { return SessionBusReachable(); }
    platform::HResult InitializeCom() override { return platform::hresult::kOk; }
    void UninitializeCom() override {}

    platform::HResult CreateGuidFirstField(std::uint32_t& field) override
    {
        try {
            std::random_device random;
            field = static_cast<std::uint32_t>(random());
            return platform::hresult::kOk;
        } catch (const std::exception&) {
            return platform::hresult::kFail;
        }
    }

    platform::HResult CreateToastNotifier(const std::wstring&, const std::wstring& application_name,
                                          std::shared_ptr<ToastNotifier>& notifier) override
    {
        return CreateDesktopNotifier(application_name, notifier);
    }
    platform::HResult CreateToastNotification(const XmlDocument& document,
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

}  // namespace desktop
