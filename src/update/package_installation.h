#pragma once
// Installing the extension package into the extension folder.
#include <functional>
#include <string_view>

#include "update/activity_log.h"
#include "update/run_outcome.h"

// The host application whose running process holds up installations.
inline constexpr std::wstring_view HostProcessName = L"Illustrator";

// The start-up installation: installs the package delivered with the program
// unless "Setup" records that this was done. Before that it restores an
// extension whose replacement a crash interrupted. While Illustrator runs it
// calls `warn_host_running` first (the shell's message box) and installs all
// the same. kInstalled or kNothingToDo; kFailed when the package file is
// missing. Other failures are raised.
RunOutcome SetupRoutine(ActivityLog log, const std::function<void()>& warn_host_running);

// Replaces the extension folder's contents with the package's items. False
// only when the package file is missing. A package larger than the free
// space of the extension folder's file system is refused before anything is
// written. Any other failure is raised after the old contents are back in
// place.
bool ExtractPackage(ActivityLog log);
