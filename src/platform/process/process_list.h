#pragma once
// The system's list of processes (a CreateToolhelp32Snapshot walk).
#include <functional>
#include <string_view>

namespace platform {

// Calls `visit` with the executable file name (no folder) of each running
// process until it returns true. Returns false when the list cannot be read.
bool VisitProcessNames(const std::function<bool(std::wstring_view executable_name)>& visit);

}  // namespace platform
