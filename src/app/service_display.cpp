#include "app/service_display.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>

#include "app/main_window.h"
#include "desktop/message_loop.h"
#include "platform/durable/atomic_file.h"
#include "platform/paths/known_folders.h"
#include "platform/paths/native_path.h"
#include "platform/process/machine_service.h"
#include "update/change_record.h"
#include "update/check_interval.h"
#include "update/local_config.h"
#include "update/paths.h"

namespace fs = std::filesystem;

namespace {

std::unique_ptr<platform::ChangeEventWatch> change_watch;

// Apart from the old per-user working folder, which the display leaves alone.
fs::path AnnouncedChangeNote()
{
    return platform::NativePath(platform::UserDataFolder()) / "MerroUpdate Display" / "announced-change";
}

std::string ReadNote(const fs::path& note)
{
    std::ifstream in(note, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The event exists once the service has started, which may be after us.
void WatchServiceEvent()
{
    if (change_watch && change_watch->active()) return;
    change_watch = std::make_unique<platform::ChangeEventWatch>(
        ChangeEventName, [] { desktop::PostToWindow(MainWindowHandle, ServiceChangeNotice, 0, 0); });
}

void DisplayTimerProc(desktop::WindowHandle, desktop::Message, desktop::TimerId, std::uint32_t)
{
    WatchServiceEvent();
    AnnounceServiceChange();
}

// The service's own interval, the default when its configuration says none
// that the service could use either.
std::uint32_t ServiceCheckPeriod()
{
    try {
        return CheckPeriodMilliseconds(CheckIntervalSeconds(ReadLocalConfig("Elasp")));
    } catch (...) {
        return CheckPeriodMilliseconds(CheckIntervalSeconds(""));
    }
}

}  // namespace

RunResult TakeUnannouncedChange(const fs::path& service_folder, const fs::path& user_note)
{
    const std::optional<ChangeRecord> record = ReadChangeRecord(service_folder);
    if (!record || ReadNote(user_note) == record->id) return RunResult::kNothingToDo;
    try {
        fs::create_directories(user_note.parent_path());
        platform::ReplaceFileContent(user_note.string(), record->id);
    } catch (...) {
        // Better no notification than one at every look.
        return RunResult::kNothingToDo;
    }
    return record->result;
}

void StartServiceDisplay(desktop::WindowHandle window, const fs::path& service_folder)
{
    MainWindowHandle = window;
    std::error_code unknown;
    fs::current_path(service_folder, unknown);
    WatchServiceEvent();
    desktop::SetTimer(ServiceCheckPeriod(), DisplayTimerProc);
    AnnounceServiceChange();
}

void AnnounceServiceChange()
{
    const std::optional<fs::path> folder = InstalledServiceFolder();
    if (!folder) return;
    const RunResult change = TakeUnannouncedChange(*folder, AnnouncedChangeNote());
    if (change == RunResult::kNothingToDo) return;
    desktop::PostToWindow(MainWindowHandle, UpdateNotice, change == RunResult::kInstalled ? 1 : 0, 0);
}
