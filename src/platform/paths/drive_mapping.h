#pragma once
#include <string>
#include <string_view>

namespace platform {

// Maps a Windows path on drive C: ("C:/...") to where that drive lives on this
// system; other paths are returned unchanged. On Linux the drive is the Wine
// prefix's drive_c folder: $WINEPREFIX/drive_c, else $HOME/.wine/drive_c.
std::wstring MapDrivePath(std::wstring_view windows_path);

}  // namespace platform
