#pragma once
// The platform calls the notification manager relies on, one virtual per
// call, so the manager's own logic stays the same over any backend (the
// freedesktop notification service here, Windows.UI.Notifications on
// Windows) and a test can script every outcome.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "desktop/identity/shortcut.h"
#include "desktop/toast/xml_document.h"
#include "platform/base/hresult.h"

namespace desktop {

// The arguments of an activation: empty when they cannot be read.
using ActivatedDelegate = std::function<void(const std::optional<std::wstring>& arguments)>;
// The platform's dismissal reason (0 UserCanceled, 1 ApplicationHidden,
// 2 TimedOut), or empty when it cannot be read.
using DismissedDelegate = std::function<void(std::optional<int> reason)>;
using FailedDelegate = std::function<void()>;

// ToastNotification: one notification made from a finished document.
class ToastNotification {
public:
    virtual ~ToastNotification() = default;
    // Absolute expiry in FILETIME units (100 ns since 1601-01-01 UTC).
    virtual platform::HResult PutExpirationTime(std::int64_t filetime) = 0;
    // The platform keeps the delegates as long as the notification lives
    // and calls them on the thread that runs the event loop.
    virtual platform::HResult AddActivated(ActivatedDelegate delegate) = 0;
    virtual platform::HResult AddDismissed(DismissedDelegate delegate) = 0;
    virtual platform::HResult AddFailed(FailedDelegate delegate) = 0;
};

// ToastNotifier: shows and removes notifications under one identity.
class ToastNotifier {
public:
    virtual ~ToastNotifier() = default;
    virtual platform::HResult Show(const std::shared_ptr<ToastNotification>& notification) = 0;
    virtual platform::HResult Hide(const std::shared_ptr<ToastNotification>& notification) = 0;
};

class ToastPlatform {
public:
    virtual ~ToastPlatform() = default;

    // Whether the notification platform can be reached at all.
    virtual bool LoadPlatformFunctions() = 0;
    virtual platform::HResult SetCurrentProcessExplicitAppUserModelID(const std::wstring& id) = 0;
    // CoInitializeEx in the multithreaded model; CoUninitialize.
    virtual platform::HResult InitializeCom() = 0;
    virtual void UninitializeCom() = 0;
    // RtlGetVersion's major version; 0 when it cannot be read.
    virtual std::uint32_t MajorVersion() = 0;
    virtual std::int64_t SystemTimeAsFileTime() = 0;
    // CoCreateGuid, giving the GUID's first 32-bit field.
    virtual platform::HResult CreateGuidFirstField(std::uint32_t& field) = 0;
    virtual std::wstring ExecutablePath() = 0;

    // Folder of the Start-menu shortcuts, ending in a separator; empty when
    // the environment does not name one.
    virtual std::wstring ShortcutFolder() = 0;
    virtual std::wstring ShortcutExtension() = 0;
    // GetFileAttributesW succeeds.
    virtual bool ShortcutExists(const std::wstring& path) = 0;
    // Loads the shortcut; `id` is its stored identifier, or empty when that
    // cannot be converted to text. A failure means the file is unusable.
    virtual platform::HResult ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id) = 0;
    // Rewrites only the stored identifier.
    virtual platform::HResult WriteShortcutId(const std::wstring& path, const std::wstring& id) = 0;
    // Writes a new shortcut, replacing an existing file.
    virtual platform::HResult CreateShortcut(const std::wstring& path, const ShortcutLink& link) = 0;

    // The notifier bound to the identifier; the application name is what
    // platforms without a shortcut lookup show as the sender.
    virtual platform::HResult CreateToastNotifier(const std::wstring& app_user_model_id,
                                                  const std::wstring& application_name,
                                                  std::shared_ptr<ToastNotifier>& notifier) = 0;
    // The platform's template document of the ToastTemplateType number.
    virtual platform::HResult GetTemplateContent(std::int32_t type, std::unique_ptr<XmlDocument>& document) = 0;
    virtual platform::HResult CreateToastNotification(const XmlDocument& document,
                                                      std::shared_ptr<ToastNotification>& notification) = 0;
};

// The backend of this system.
ToastPlatform& SystemToastPlatform();

}  // namespace desktop
