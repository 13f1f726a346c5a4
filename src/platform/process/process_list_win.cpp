#include "platform/process/process_list.h"

#include "platform/base/windows_api_win.h"

#include <tlhelp32.h>

namespace platform {

bool VisitProcessNames(const std::function<bool(std::wstring_view executable_name)>& visit)
{
    const UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (visit(entry.szExeFile)) return true;
    }
    return true;
}

bool IsProcessIdRunning(unsigned long process_id)
{
    const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
    // Another account's process, or a protected one, may not be opened.
    if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
    DWORD exit_code = 0;
    return !::GetExitCodeProcess(process.get(), &exit_code) || exit_code == STILL_ACTIVE;
}

}  // namespace platform
