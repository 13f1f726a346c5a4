#include "platform/paths/known_folders.h"

#include "platform/base/windows_api_win.h"

#include <knownfolders.h>
#include <shlobj.h>

namespace platform {
namespace {

std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path))) folder = path;
    ::CoTaskMemFree(path);
    return folder;
}

}  // namespace

std::wstring UserDataFolder() { return KnownFolder(FOLDERID_LocalAppData); }

std::wstring CommonFilesFolder() { return KnownFolder(FOLDERID_ProgramFilesCommon); }

std::wstring MachineDataFolder() { return KnownFolder(FOLDERID_ProgramData); }

}  // namespace platform
