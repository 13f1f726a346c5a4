#pragma once
// The process's notification manager: its identity, its Start-menu
// shortcut, showing notifications and routing their events to a handler.
// Platform failures come back as results; nothing here throws.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "desktop/toast/toast_platform.h"
#include "notify/toast_handler.h"
#include "notify/toast_template.h"

namespace toast {

// Any value other than None and CreateOrRepair means CheckOnly.
enum class ShortcutMode : std::int32_t { None = 0, CheckOnly = 1, CreateOrRepair = 2 };

enum class ToastError : std::int32_t {
    Ok = 0,
    NotReady = 1,
    PlatformMissing = 2,
    ShortcutFailed = 3,
    IdentityRejected = 4,
    MissingParameters = 5,
    NoHandler = 6,
    ShowFailed = 7,
};

enum class ShortcutOutcome : std::int32_t {
    Unchanged = 0,
    Repaired = 1,
    Created = 2,
    MissingParameters = -1,
    PlatformMissing = -2,
    ComFailed = -3,
    CreateFailed = -4,
};

class ToastManager {
public:
    // The process-wide manager over this system's platform.
    static ToastManager& SharedInstance();

    explicit ToastManager(desktop::ToastPlatform& platform);
    ToastManager(const ToastManager&) = delete;
    ToastManager& operator=(const ToastManager&) = delete;

    virtual ~ToastManager();
    virtual bool Init(ToastError* error = nullptr);
    virtual bool IsReady() const;
    virtual bool Hide(std::int64_t id);
    // Takes ownership of the handler. Returns the notification's id, also
    // when the platform then refused to show it (ShowFailed); -1 when none
    // was assigned.
    virtual std::int64_t Show(const ToastTemplate& content, IToastHandler* handler, ToastError* error = nullptr);
    virtual void HideAll();
    virtual ShortcutOutcome EnsureShortcut();

    void SetApplicationName(std::wstring name) { applicationName = std::move(name); }
    void SetApplicationModelId(std::wstring id) { applicationModelId = std::move(id); }
    void SetShortcutMode(ShortcutMode mode) { shortcutMode = mode; }

private:
    bool HasParameters() const { return !applicationName.empty() && !applicationModelId.empty(); }
    bool Repairs() const { return shortcutMode == ShortcutMode::CreateOrRepair; }
    // Empty when the environment names no shortcut folder, absent when the
    // path does not fit the 260-character limit.
    std::optional<std::wstring> ShortcutPath();
    platform::HResult ValidateShortcut(const std::wstring& path, bool& changed);
    platform::HResult CreateShortcutFile(const std::wstring& path);
    platform::HResult RegisterEventHandlers(desktop::ToastNotification& notification,
                                            const std::shared_ptr<IToastHandler>& handler, std::int64_t expiry);
    platform::HResult GetNotifier(std::shared_ptr<desktop::ToastNotifier>& notifier);

    desktop::ToastPlatform& platform_;
    // NOLINTBEGIN(readability-identifier-naming): the system's own names.
    bool ready = false;
    bool ownsCom = false;
    ShortcutMode shortcutMode = ShortcutMode::CreateOrRepair;
    std::wstring applicationName;
    std::wstring applicationModelId;
    std::map<std::int64_t, std::shared_ptr<desktop::ToastNotification>> liveNotifications;
    // NOLINTEND(readability-identifier-naming)
};

}  // namespace toast
