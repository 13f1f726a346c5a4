// merroupdate-service.exe, the MerroUpdate service: runs as LocalSystem in
// the machine's data folder (ProgramData\MerroUpdate), where it alone
// installs and updates the extension for every user of the machine. This
// file is only its entry: the status it reports, the dispatcher, and a
// control handler that asks the work to stop. The work is the program's own
// engine (service_work.h).
//
// It takes nothing from users: no argument is read, no pipe or socket is
// opened, and everything it reads is in its working folder, which only
// administrators and SYSTEM may write (the setup program makes it so), or
// comes from the signed or configured version service. Started from a
// console instead of by the service manager, it does the same work in the
// foreground until Ctrl+C, for debugging.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/process/machine_service.h"
#include "service/service_work.h"
#include "update/paths.h"

namespace {

// How long the manager is told to wait: a start reports running at once;
// a stop waits for an update run under way, whose downloads have deadlines.
constexpr DWORD kStartWaitHintMs = 10'000;
constexpr DWORD kStopWaitHintMs = 60'000;

SERVICE_STATUS_HANDLE status_handle = nullptr;
HANDLE stop_requested = nullptr;
SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, NO_ERROR, 0, 0, 0};

void ReportStatus(DWORD state, DWORD exit_code = NO_ERROR, DWORD wait_hint = 0)
{
    status.dwCurrentState = state;
    status.dwWin32ExitCode = exit_code;
    status.dwWaitHint = wait_hint;
    // Stopping and shutting down are the only controls; pending states take none.
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwCheckPoint = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ? status.dwCheckPoint + 1 : 0;
    if (status_handle) ::SetServiceStatus(status_handle, &status);
}

// Runs on the dispatcher's thread: it only asks the work to stop.
DWORD WINAPI ControlHandler(DWORD control, DWORD, void*, void*)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        ReportStatus(SERVICE_STOP_PENDING, NO_ERROR, kStopWaitHintMs);
        ::SetEvent(stop_requested);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE: return NO_ERROR;
    default: return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

BOOL WINAPI ConsoleControlHandler(DWORD)
{
    ::SetEvent(stop_requested);
    return TRUE;
}

bool IsReparsePoint(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The working folder, entered unless it is missing or a junction or link
// (a folder someone else made before the setup program, leading elsewhere).
DWORD EnterWorkingFolder()
{
    const std::wstring folder = ServiceFolder();
    const DWORD attributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::fprintf(stderr, "merroupdate-service: no working folder %ls\n", folder.c_str());
        return ERROR_PATH_NOT_FOUND;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || IsReparsePoint(folder + L"\\Log")) {
        std::fprintf(stderr, "merroupdate-service: %ls or its Log folder is a junction or link: refused\n",
                     folder.c_str());
        return ERROR_CANT_ACCESS_FILE;
    }
    if (!::SetCurrentDirectoryW(folder.c_str())) return ::GetLastError();
    return NO_ERROR;
}

DWORD RunWork()
{
    if (const DWORD error = EnterWorkingFolder(); error != NO_ERROR) return error;
    platform::ChangeEvent change(ChangeEventName);
    RunServiceWork(
        [](std::chrono::milliseconds period) {
            return ::WaitForSingleObject(stop_requested, static_cast<DWORD>(period.count())) == WAIT_OBJECT_0;
        },
        [&change] { change.Pulse(); });
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t**)
{
    status_handle = ::RegisterServiceCtrlHandlerExW(std::wstring(ServiceName).c_str(), ControlHandler, nullptr);
    if (!status_handle) return;
    ReportStatus(SERVICE_START_PENDING, NO_ERROR, kStartWaitHintMs);
    // The start-up installation is part of the work: the manager need not
    // wait for it.
    ReportStatus(SERVICE_RUNNING);
    ReportStatus(SERVICE_STOPPED, RunWork());
}

}  // namespace

int main()
{
    // As SYSTEM, no library comes from a folder users can write: the codec
    // library is loaded by its full path in the program folder, anything
    // else from System32 only.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    stop_requested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stop_requested) return 1;
    std::wstring name(ServiceName);
    const SERVICE_TABLE_ENTRYW services[] = {{name.data(), ServiceMain}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherW(services)) return 0;
    if (::GetLastError() != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return 1;
    // Not started by the service manager: in the foreground until Ctrl+C.
    ::SetConsoleCtrlHandler(ConsoleControlHandler, TRUE);
    return static_cast<int>(RunWork());
}
