#include "platform/paths/known_folders.h"

#include <cstdlib>

#include "platform/base/text.h"
#include "platform/paths/drive_mapping.h"

namespace platform {

std::wstring UserDataFolder()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return Utf8ToWide(data);
    const char* home = std::getenv("HOME");
    return home && *home ? Utf8ToWide(home) + L"/.local/share" : std::wstring{};
}

std::wstring CommonFilesFolder() { return MapDrivePath(L"C:/Program Files/Common Files"); }

std::wstring MachineDataFolder() { return {}; }

}  // namespace platform
