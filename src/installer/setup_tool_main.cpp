// merroupdate-setup-tool.exe, run elevated by the setup program and its
// uninstaller (carried by them, not installed):
//
//   merroupdate-setup-tool protect-folder FOLDER   the service's working folder
//   merroupdate-setup-tool register-service PROGRAM
//   merroupdate-setup-tool start-service | stop-service | remove-service
//   merroupdate-setup-tool warn-if-host-running    the design's warning box
//
// Exits 0 when done, 10 when there was nothing to do (the folder existed and
// was secured again, no service was registered to stop or remove, no
// Illustrator runs), 1 with the reason on failure, 2 on a wrong command line.
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "app/host_warning.h"
#include "installer/protected_folder.h"
#include "installer/service_registration.h"
#include "platform/base/text.h"
#include "update/host_detection.h"
#include "update/package_installation.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kNothingToDo = 10;

int Outcome(bool done) { return done ? kDone : kNothingToDo; }

int Run(std::wstring_view command, const wchar_t* argument)
{
    if (command == L"protect-folder" && argument) {
        return Outcome(ProtectServiceFolder(argument) == FolderProtection::kCreated);
    }
    if (command == L"register-service" && argument) {
        RegisterService(argument);
        return kDone;
    }
    if (argument) return kUsage;
    if (command == L"start-service") {
        StartRegisteredService();
        return kDone;
    }
    if (command == L"stop-service") return Outcome(StopRegisteredService());
    if (command == L"remove-service") return Outcome(RemoveRegisteredService());
    if (command == L"warn-if-host-running") {
        if (!IsProcessRunning(std::wstring(HostProcessName))) return kNothingToDo;
        ShowHostRunningWarning();
        return kDone;
    }
    return kUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2 && argc != 3) {
        std::fputs("usage: merroupdate-setup-tool COMMAND [ARGUMENT] (see its source)\n", stderr);
        return kUsage;
    }
    try {
        const int result = Run(argv[1], argc == 3 ? argv[2] : nullptr);
        if (result == kUsage) std::fputs("merroupdate-setup-tool: unknown command or argument\n", stderr);
        return result;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "merroupdate-setup-tool: %s\n", error.what());
        return kFailed;
    }
}
