#include "platform/toast_platform.h"

#include <string>

#include "platform/shared_toast_platform.h"
#include "platform/windows_api_win.h"

#include <objbase.h>
#include <roapi.h>
#include <winstring.h>

namespace platform {
namespace {

constexpr HResult kClassNotRegistered = static_cast<HResult>(0x80040154);  // REGDB_E_CLASSNOTREG
constexpr wchar_t kToastManagerClass[] = L"Windows.UI.Notifications.ToastNotificationManager";
// IToastNotificationManagerStatics.
constexpr IID kToastManagerStatics = {0x50ac103f, 0xd235, 0x4598, {0xbb, 0xef, 0x98, 0xfe, 0x4d, 0x1a, 0x3a, 0xd4}};

// Asks the system for the toast manager's factory: what tells whether this
// Windows can show notifications at all.
HResult ToastManagerAvailable()
{
    HSTRING_HEADER header;
    HSTRING name = nullptr;
    HResult result = ::WindowsCreateStringReference(kToastManagerClass, static_cast<UINT32>(std::size(kToastManagerClass) - 1),
                                                    &header, &name);
    if (Failed(result)) return result;
    IUnknown* statics = nullptr;
    result = ::RoGetActivationFactory(name, kToastManagerStatics, reinterpret_cast<void**>(&statics));
    if (statics) statics->Release();
    return result;
}

// WinRT toasts, the Start-menu .lnk shortcut and the process's identifier.
// Showing a toast through the WinRT interfaces is not built yet: where the
// system has the toast manager, creating a notifier reports it as not
// implemented, and where it lacks it (Wine) as the class not registered.
class WindowsToastPlatform final : public SharedToastPlatform {
public:
    bool LoadPlatformFunctions() override { return ::GetModuleHandleW(L"combase.dll") || ::LoadLibraryW(L"combase.dll"); }
    HResult InitializeCom() override { return ::RoInitialize(RO_INIT_SINGLETHREADED); }
    void UninitializeCom() override { ::RoUninitialize(); }

    HResult CreateGuidFirstField(std::uint32_t& field) override
    {
        GUID guid;
        const HResult result = ::CoCreateGuid(&guid);
        if (Succeeded(result)) field = guid.Data1;
        return result;
    }

    HResult CreateToastNotifier(const std::wstring&, const std::wstring&, std::shared_ptr<ToastNotifier>&) override
    {
        const HResult available = ToastManagerAvailable();
        return Failed(available) ? available : hresult::kNotImplemented;
    }
    HResult CreateToastNotification(const XmlDocument&, std::shared_ptr<ToastNotification>&) override
    {
        return kClassNotRegistered;
    }
};

}  // namespace

ToastPlatform& SystemToastPlatform()
{
    static WindowsToastPlatform platform;
    return platform;
}

}  // namespace platform
