#pragma once
// Every path the Windows file calls get: absolute, with backslashes and the
// "\\?\" prefix, which lifts the 260-character limit on any machine (without
// it, only where the long-path policy is on and the program says so).
#include <string>
#include <string_view>

namespace platform {

// "\\?\C:\..." for a drive path, "\\?\UNC\server\share\..." for a share,
// made absolute against the current folder first, with "." and ".." resolved
// (the prefix turns that off) and no separator at the end. A path that already has "\\?\" or "\\.\", and
// one the system cannot make absolute, is returned as it is.
std::wstring LongPath(std::wstring_view path);

}  // namespace platform
