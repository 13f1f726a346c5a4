#pragma once
// What the machine-wide service does, in its working folder (the current
// folder): the program's own start-up installation, then an update run at
// every interval of the folder's LocalConfig.json, each installation or
// update recorded for the users' tray programs. It has no desktop, so the
// warning that Illustrator runs is not shown; the log says it.
#include <chrono>
#include <functional>

// Waits up to `period` for the service to be asked to stop; true once asked.
using StopWait = std::function<bool(std::chrono::milliseconds period)>;

// Runs until asked to stop. `announce` follows each change recorded. A
// start-up that fails is logged ("Start Failed: ...") and the service then
// only waits to be stopped, as the program does with its tray icon.
void RunServiceWork(const StopWait& stop_requested_within, const std::function<void()>& announce);
