#pragma once
// The folders the system keeps for each user and for all programs.
#include <string>

namespace platform {

// Where the user's programs keep their own data: the Local AppData known
// folder on Windows; $XDG_DATA_HOME, else ~/.local/share, on Linux. Empty
// when the system cannot tell.
std::wstring UserDataFolder();

// The machine's Common Files folder, where the extension platform lives:
// the known folder on Windows (C:\Program Files\Common Files on a standard
// machine); that folder of the Wine prefix on Linux.
std::wstring CommonFilesFolder();

// Where machine-wide programs keep their data: the ProgramData known folder
// on Windows. Empty on Linux, where each user has a prefix of their own and
// no machine-wide service runs.
std::wstring MachineDataFolder();

}  // namespace platform
