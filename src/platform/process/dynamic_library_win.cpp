#include "platform/process/dynamic_library.h"

#include <string>

#include "platform/base/windows_api_win.h"
#include "platform/paths/executable_path.h"
#include "platform/paths/path.h"

namespace platform {
namespace {

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A file that exists but does not load is not a library of this machine.
WindowsError Open(const std::wstring& path, LibraryHandle& library)
{
    // Its dependencies are looked for beside it and in the system folders,
    // never in the current folder.
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
        const DWORD error = ::GetLastError();
        return error == ERROR_MOD_NOT_FOUND ? WindowsError::kModuleNotFound : WindowsError::kBadExecutableFormat;
    }
    library.reset(module);
    return WindowsError::kSuccess;
}

}  // namespace

std::span<const std::wstring_view> CodecLibraryFileNames()
{
    static constexpr std::wstring_view names[] = {L"7za.dll", L"7z.dll"};
    return names;
}

void LibraryCloser::operator()(void* module) const { ::FreeLibrary(static_cast<HMODULE>(module)); }

// A bare file name is looked for beside the executable only: the current
// folder and PATH are not places to load code from.
WindowsError LoadSharedLibrary(std::wstring_view file_name, LibraryHandle& library)
{
    if (file_name.empty()) return WindowsError::kModuleNotFound;
    std::wstring path(file_name);
    if (LastSeparator(path) == std::wstring::npos) path = ExecutableFolder() + kPathSeparator + path;
    if (!IsFile(path)) return WindowsError::kModuleNotFound;
    return Open(path, library);
}

WindowsError FindExport(const LibraryHandle& library, const char* name, void*& address)
{
    address = reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library.get()), name));
    return address ? WindowsError::kSuccess : WindowsError::kProcedureNotFound;
}

}  // namespace platform
