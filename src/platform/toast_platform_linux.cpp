#include "platform/toast_platform.h"

#include <random>

#include "platform/notification_service_linux.h"
#include "platform/shared_toast_platform.h"

namespace platform {
namespace {

// The freedesktop notification service, desktop-entry shortcuts; no COM.
class LinuxToastPlatform final : public SharedToastPlatform {
public:
    bool LoadPlatformFunctions() override { return SessionBusReachable(); }
    HResult InitializeCom() override { return hresult::kOk; }
    void UninitializeCom() override {}

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

    HResult CreateToastNotifier(const std::wstring&, const std::wstring& application_name,
                                std::shared_ptr<ToastNotifier>& notifier) override
    {
        return CreateDesktopNotifier(application_name, notifier);
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
