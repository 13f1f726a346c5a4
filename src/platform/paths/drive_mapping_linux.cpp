#include "platform/paths/drive_mapping.h"

#include <cstdlib>

#include "platform/base/text.h"

namespace platform {
namespace {

std::wstring DriveCRoot()
{
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) {
        return Utf8ToWide(prefix) + L"/drive_c/";
    }
    const char* home = std::getenv("HOME");
    return Utf8ToWide(home ? home : "") + L"/.wine/drive_c/";
}

}  // namespace

std::wstring MapDrivePath(std::wstring_view windows_path)
{
    constexpr std::wstring_view kDrive = L"C:/";
    if (!windows_path.starts_with(kDrive)) return std::wstring(windows_path);
    return DriveCRoot() + std::wstring(windows_path.substr(kDrive.size()));
}

}  // namespace platform
