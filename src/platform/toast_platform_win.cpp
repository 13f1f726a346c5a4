#include "platform/toast_platform.h"

#include <string>

#include "platform/app_identity.h"
#include "platform/executable_path.h"
#include "platform/os_version.h"
#include "platform/shortcut.h"
#include "platform/system_time.h"
#include "platform/toast_template_content.h"
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
class WindowsToastPlatform final : public ToastPlatform {
public:
    bool LoadPlatformFunctions() override { return ::GetModuleHandleW(L"combase.dll") || ::LoadLibraryW(L"combase.dll"); }
    HResult SetCurrentProcessExplicitAppUserModelID(const std::wstring& id) override
    {
        return platform::SetCurrentProcessExplicitAppUserModelID(id);
    }
    HResult InitializeCom() override { return ::RoInitialize(RO_INIT_SINGLETHREADED); }
    void UninitializeCom() override { ::RoUninitialize(); }
    std::uint32_t MajorVersion() override { return WindowsMajorVersion(); }
    std::int64_t SystemTimeAsFileTime() override { return platform::SystemTimeAsFileTime(); }

    HResult CreateGuidFirstField(std::uint32_t& field) override
    {
        GUID guid;
        const HResult result = ::CoCreateGuid(&guid);
        if (Succeeded(result)) field = guid.Data1;
        return result;
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

    HResult CreateToastNotifier(const std::wstring&, const std::wstring&, std::shared_ptr<ToastNotifier>&) override
    {
        const HResult available = ToastManagerAvailable();
        return Failed(available) ? available : hresult::kNotImplemented;
    }
    HResult GetTemplateContent(std::int32_t type, std::unique_ptr<XmlDocument>& document) override
    {
        return platform::GetTemplateContent(type, document);
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
