#include "notify/toast_manager.h"

#include <limits>

#include "notify/toast_content.h"
#include "notify/toast_events.h"
#include "platform/paths/path.h"

namespace toast {
namespace {

using platform::Failed;
using platform::HResult;
namespace hresult = platform::hresult;

constexpr std::size_t kMaxPath = 260;  // characters, terminator included
constexpr std::int64_t kFileTimeUnitsPerMs = 10000;

// A time-out beyond the clock's range stops at the latest time it can hold:
// such a notification never expires.
std::int64_t ExpiryAfter(std::int64_t now, std::int64_t after_ms)
{
    constexpr std::int64_t kLatest = std::numeric_limits<std::int64_t>::max();
    if (after_ms > kLatest / kFileTimeUnitsPerMs) return kLatest;
    const std::int64_t span = after_ms * kFileTimeUnitsPerMs;
    return now > kLatest - span ? kLatest : now + span;
}

void Report(ToastError* error, ToastError code)
{
    if (error) *error = code;
}

}  // namespace

ToastManager& ToastManager::SharedInstance()
{
    static ToastManager instance(desktop::SystemToastPlatform());
    return instance;
}

ToastManager::ToastManager(desktop::ToastPlatform& platform) : platform_(platform)
{
    platform_.LoadPlatformFunctions();
}

ToastManager::~ToastManager()
{
    // Platform objects go before the platform's own state does.
    liveNotifications.clear();
    if (ownsCom) platform_.UninitializeCom();
}

bool ToastManager::Init(ToastError* error)
{
    ready = false;
    Report(error, ToastError::Ok);
    if (!platform_.LoadPlatformFunctions()) {
        Report(error, ToastError::PlatformMissing);
        return false;
    }
    if (!HasParameters()) {
        Report(error, ToastError::MissingParameters);
        return false;
    }
    if (shortcutMode != ShortcutMode::None && static_cast<std::int32_t>(EnsureShortcut()) < 0) {
        Report(error, ToastError::ShortcutFailed);
        return false;
    }
    if (Failed(platform_.SetCurrentProcessExplicitAppUserModelID(applicationModelId))) {
        Report(error, ToastError::IdentityRejected);
        return false;
    }
    ready = true;
    return true;
}

bool ToastManager::IsReady() const { return ready; }

ShortcutOutcome ToastManager::EnsureShortcut()
{
    if (!HasParameters()) return ShortcutOutcome::MissingParameters;
    if (!platform_.LoadPlatformFunctions()) return ShortcutOutcome::PlatformMissing;
    if (!ownsCom) {
        const HResult com = platform_.InitializeCom();
        if (Failed(com) && com != hresult::kChangedMode) return ShortcutOutcome::ComFailed;
        ownsCom = !Failed(com);
    }

    const std::optional<std::wstring> path = ShortcutPath();
    if (!path) return ShortcutOutcome::CreateFailed;
    bool changed = false;
    if (!Failed(ValidateShortcut(*path, changed))) {
        return changed ? ShortcutOutcome::Repaired : ShortcutOutcome::Unchanged;
    }
    return Failed(CreateShortcutFile(*path)) ? ShortcutOutcome::CreateFailed : ShortcutOutcome::Created;
}

std::optional<std::wstring> ToastManager::ShortcutPath()
{
    const std::wstring folder = platform_.ShortcutFolder();
    if (folder.empty()) return std::wstring{};
    std::wstring path = folder + applicationName + platform_.ShortcutExtension();
    if (path.size() >= kMaxPath) return std::nullopt;
    return path;
}

HResult ToastManager::ValidateShortcut(const std::wstring& path, bool& changed)
{
    if (!platform_.ShortcutExists(path)) return hresult::kFail;
    std::optional<std::wstring> stored;
    const HResult read = platform_.ReadShortcutId(path, stored);
    if (Failed(read)) return read;
    changed = false;
    // The stored identifier is read into a buffer of the path limit.
    if (stored && stored->size() < kMaxPath && *stored == applicationModelId) return hresult::kOk;
    if (!Repairs()) return hresult::kFail;
    changed = true;
    return platform_.WriteShortcutId(path, applicationModelId);
}

HResult ToastManager::CreateShortcutFile(const std::wstring& path)
{
    if (!Repairs()) return hresult::kFail;
    const std::wstring executable = platform_.ExecutablePath();
    if (executable.empty() || executable.size() >= kMaxPath) return hresult::kFail;
    // The folder, not the file: started from the menu, the program finds its
    // working files in its own folder.
    // A path without a separator is taken whole as the folder.
    const std::wstring folder(platform::FolderPart(executable).value_or(executable));
    const desktop::ShortcutLink link{applicationName, executable, L"", folder, applicationModelId};
    return platform_.CreateShortcut(path, link);
}

std::int64_t ToastManager::Show(const ToastTemplate& content, IToastHandler* handler, ToastError* error)
{
    // The handler is ours from here on, so it is freed on every early return.
    std::unique_ptr<IToastHandler> owned(handler);
    Report(error, ToastError::Ok);
    if (!IsReady()) {
        Report(error, ToastError::NotReady);
        return -1;
    }
    if (!owned) {
        Report(error, ToastError::NoHandler);
        return -1;
    }

    std::shared_ptr<desktop::ToastNotifier> notifier;
    if (Failed(GetNotifier(notifier))) return -1;
    std::unique_ptr<desktop::XmlDocument> document;
    if (Failed(platform_.GetTemplateContent(content.templateType, document)) || !document) return -1;
    if (Failed(WriteTemplate(*document, content, platform_.MajorVersion()))) return -1;
    std::shared_ptr<desktop::ToastNotification> notification;
    if (Failed(platform_.CreateToastNotification(*document, notification)) || !notification) return -1;

    std::int64_t expiry = 0;
    if (content.expiresAfterMs > 0) {
        expiry = ExpiryAfter(platform_.SystemTimeAsFileTime(), content.expiresAfterMs);
        if (Failed(notification->PutExpirationTime(expiry))) return -1;
    }
    if (Failed(RegisterEventHandlers(*notification, std::shared_ptr<IToastHandler>(std::move(owned)), expiry))) {
        Report(error, ToastError::NoHandler);
        return -1;
    }

    std::uint32_t first_field = 0;
    if (Failed(platform_.CreateGuidFirstField(first_field))) return -1;
    const std::int64_t id = first_field;
    liveNotifications[id] = notification;
    if (Failed(notifier->Show(notification))) Report(error, ToastError::ShowFailed);
    return id;
}

HResult ToastManager::RegisterEventHandlers(desktop::ToastNotification& notification,
                                            const std::shared_ptr<IToastHandler>& handler, std::int64_t expiry)
{
    HResult result = notification.AddActivated(MakeActivatedDelegate(handler));
    if (Failed(result)) return result;
    desktop::ToastPlatform& clock = platform_;
    result = notification.AddDismissed(
        MakeDismissedDelegate(handler, expiry, [&clock] { return clock.SystemTimeAsFileTime(); }));
    if (Failed(result)) return result;
    return notification.AddFailed(MakeFailedDelegate(handler));
}

HResult ToastManager::GetNotifier(std::shared_ptr<desktop::ToastNotifier>& notifier)
{
    const HResult result = platform_.CreateToastNotifier(applicationModelId, applicationName, notifier);
    return Failed(result) || notifier ? result : hresult::kPointer;
}

bool ToastManager::Hide(std::int64_t id)
{
    if (!IsReady()) return false;
    const auto entry = liveNotifications.find(id);
    if (entry == liveNotifications.end()) return false;
    std::shared_ptr<desktop::ToastNotifier> notifier;
    if (Failed(GetNotifier(notifier))) return false;
    const bool hidden = !Failed(notifier->Hide(entry->second));
    liveNotifications.erase(entry);
    return hidden;
}

void ToastManager::HideAll()
{
    std::shared_ptr<desktop::ToastNotifier> notifier;
    if (Failed(GetNotifier(notifier))) return;
    for (const auto& [id, notification] : liveNotifications) notifier->Hide(notification);
    liveNotifications.clear();
}

}  // namespace toast
