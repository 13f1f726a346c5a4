#include "platform/process/child_process.h"

#include <system_error>

#include "platform/base/windows_api_win.h"

namespace platform {

bool StartProgramIn(std::wstring_view program, std::wstring_view folder, std::string& error)
{
    const std::wstring path(program);
    const std::wstring directory(folder);
    std::wstring command_line = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(),
                          &startup, &process)) {
        error = std::system_category().message(static_cast<int>(::GetLastError()));
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

}  // namespace platform
