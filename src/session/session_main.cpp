// The login launcher, merroupdate-session.exe: started for every user at
// login (and by the setup program for the user who ran it), it makes the
// user's working folder from the defaults beside it and starts the program
// in that folder, as the user and without elevation. A machine without
// Illustrator's Common Files\Adobe folder gets nothing, quietly. Where the
// MerroUpdate service is installed, the service does the work: the launcher
// makes no working folder and starts the program, a display only, in the
// service's folder.
#include <exception>
#include <filesystem>
#include <optional>
#include <string>

#include "desktop/dialogs/message_box.h"
#include "platform/base/text.h"
#include "platform/paths/executable_path.h"
#include "platform/paths/known_folders.h"
#include "platform/paths/native_path.h"
#include "platform/process/child_process.h"
#include "session/working_folder.h"
#include "update/paths.h"

namespace fs = std::filesystem;

namespace {

void ShowFailure(const std::string& reason)
{
    desktop::ShowMessageBox(L"启动失败：" + platform::Utf8ToWide(reason), L"Pelvane更新程序",
                            desktop::MessageBoxButtons::Ok, desktop::MessageBoxIcon::Information);
}

}  // namespace

int main()
{
    const std::wstring common_files = platform::CommonFilesFolder();
    std::error_code unknown;
    if (common_files.empty() || !fs::is_directory(platform::NativePath(common_files + L"\\Adobe"), unknown)) return 0;
    const std::wstring user_data = platform::UserDataFolder();
    const std::wstring program_folder = platform::ExecutableFolder();
    if (user_data.empty() || program_folder.empty()) {
        ShowFailure("the system names no folder for the user's data or the program");
        return 1;
    }
    const std::optional<fs::path> service_folder = InstalledServiceFolder();
    const std::wstring folder = service_folder ? service_folder->wstring() : user_data + L"\\MerroUpdate";
    try {
        if (!service_folder) {
            PrepareWorkingFolder(platform::NativePath(program_folder + L"\\defaults"), platform::NativePath(folder));
        }
    } catch (const std::exception& error) {
        ShowFailure(error.what());
        return 1;
    }
    std::string error;
    if (!platform::StartProgramIn(program_folder + L"\\merroupdate.exe", folder, error)) {
        ShowFailure("merroupdate.exe: " + error);
        return 1;
    }
    return 0;
}
