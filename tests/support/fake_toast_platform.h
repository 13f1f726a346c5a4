#pragma once
// A scripted notification platform: every call's outcome is a field, and
// every call leaves a trace the tests can inspect.
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/toast/toast_platform.h"
#include "notify/toast_handler.h"

namespace testing_support {

using platform::HResult;

class FakeNotification : public desktop::ToastNotification {
public:
    explicit FakeNotification(std::string xml) : xml(std::move(xml)) {}

    HResult PutExpirationTime(std::int64_t filetime) override;
    HResult AddActivated(desktop::ActivatedDelegate delegate) override;
    HResult AddDismissed(desktop::DismissedDelegate delegate) override;
    HResult AddFailed(desktop::FailedDelegate delegate) override;

    std::string xml;
    std::optional<std::int64_t> expiry;
    std::vector<desktop::ActivatedDelegate> activated;
    std::vector<desktop::DismissedDelegate> dismissed;
    std::vector<desktop::FailedDelegate> failed;
    HResult expiration_result = platform::hresult::kOk;
    HResult dismissed_result = platform::hresult::kOk;
};

struct FakeShortcut {
    std::optional<std::wstring> id;
    desktop::ShortcutLink link;
};

class FakeToastPlatform : public desktop::ToastPlatform {
public:
    bool LoadPlatformFunctions() override { return present; }
    HResult SetCurrentProcessExplicitAppUserModelID(const std::wstring& id) override;
    HResult InitializeCom() override;
    void UninitializeCom() override { ++com_uninits; }
    std::uint32_t MajorVersion() override { return major_version; }
    std::int64_t SystemTimeAsFileTime() override { return now; }
    HResult CreateGuidFirstField(std::uint32_t& field) override;
    std::wstring ExecutablePath() override { return executable; }

    std::wstring ShortcutFolder() override { return shortcut_folder; }
    std::wstring ShortcutExtension() override { return L".lnk"; }
    bool ShortcutExists(const std::wstring& path) override;
    HResult ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id) override;
    HResult WriteShortcutId(const std::wstring& path, const std::wstring& id) override;
    HResult CreateShortcut(const std::wstring& path, const desktop::ShortcutLink& link) override;

    HResult CreateToastNotifier(const std::wstring& app_user_model_id, const std::wstring& application_name,
                                std::shared_ptr<desktop::ToastNotifier>& notifier) override;
    HResult GetTemplateContent(std::int32_t type, std::unique_ptr<desktop::XmlDocument>& document) override;
    HResult CreateToastNotification(const desktop::XmlDocument& document,
                                    std::shared_ptr<desktop::ToastNotification>& notification) override;

    // Script.
    bool present = true;
    HResult identity_result = platform::hresult::kOk;
    HResult com_result = platform::hresult::kOk;
    std::uint32_t major_version = 10;
    std::int64_t now = 133'000'000'000'000'000;
    std::deque<std::uint32_t> guids;  // first fields handed out in turn
    HResult guid_result = platform::hresult::kOk;
    std::wstring executable = L"/opt/merro/merroupdate";
    std::wstring shortcut_folder = L"/home/user/.local/share/applications/";
    HResult read_result = platform::hresult::kOk;
    HResult write_result = platform::hresult::kOk;
    HResult create_result = platform::hresult::kOk;
    HResult notifier_result = platform::hresult::kOk;
    HResult template_result = platform::hresult::kOk;
    HResult notification_result = platform::hresult::kOk;
    HResult expiration_result = platform::hresult::kOk;
    HResult dismissed_result = platform::hresult::kOk;
    HResult show_result = platform::hresult::kOk;
    HResult hide_result = platform::hresult::kOk;

    // Trace.
    std::wstring identity;
    int com_inits = 0;
    int com_uninits = 0;
    int shortcut_calls = 0;  // any of exists, read, write, create
    std::map<std::wstring, FakeShortcut> shortcuts;
    std::vector<std::wstring> notifier_ids;
    std::vector<std::weak_ptr<FakeNotification>> notifications;  // as created
    std::vector<std::string> shown;                              // xml of each shown notification
    std::vector<std::string> hidden;                             // xml of each hidden notification
};

// Records the handler calls as text, and its own deletion.
class RecordingHandler : public toast::IToastHandler {
public:
    struct Log {
        std::vector<std::string> events;
        int deleted = 0;
    };
    explicit RecordingHandler(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    ~RecordingHandler() override { ++log_->deleted; }
    void OnActivatedWithAction(int action_index) override;
    void OnActivated() override { log_->events.push_back("activated"); }
    void OnDismissed(int reason) override;
    void OnFailed() override { log_->events.push_back("failed"); }

private:
    std::shared_ptr<Log> log_;
};

}  // namespace testing_support
