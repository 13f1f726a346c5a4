#pragma once
// The system's list of processes (a CreateToolhelp32Snapshot walk).
#include <functional>
#include <string_view>

namespace platform {

// Calls `visit` with the executable file name (no folder) of each running
// process until it returns true. Returns false when the list cannot be read.
bool VisitProcessNames(const std::function<bool(std::wstring_view executable_name)>& visit);

// True while a process with this id runs, also one of another user that we
// may not look into; false once it has ended (or never was).
bool IsProcessIdRunning(unsigned long process_id);

}  // namespace platform
