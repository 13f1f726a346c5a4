#pragma once
// Installing the extension package into the extension folder.
#include <chrono>
#include <functional>
#include <string_view>

#include "platform/base/test_overrides.h"
#include "platform/process/machine_lock.h"

#include "update/log/activity_log.h"
#include "update/run_outcome.h"

// The host application whose running process holds up installations.
inline constexpr std::wstring_view HostProcessName = L"Illustrator";

// How long a copy waits for another to finish replacing the extension: at
// start-up, before the tray icon; during an update run, after which the
// next tick tries again. Tests of the real program shorten them.
inline const std::chrono::milliseconds kStartupLockWait =
    platform::TestDuration("MERRO_TEST_STARTUP_LOCK_WAIT").value_or(std::chrono::seconds(30));
inline const std::chrono::milliseconds kUpdateLockWait =
    platform::TestDuration("MERRO_TEST_UPDATE_LOCK_WAIT").value_or(std::chrono::seconds(5));

// The machine-wide lock on the extension folder, tried for up to `wait`.
// Every replacement and every recovery holds it: two users' copies never
// work on the folder at the same time. In the machine's only writer it is
// held at once, with nothing taken.
platform::MachineLock LockExtension(std::chrono::milliseconds wait);

// Declares this process the machine's only writer of the extension (the
// Windows service): a lock that every user may open is one that any user can
// hold for ever, stopping every update, so the only writer takes none.
void BecomeSoleExtensionWriter();

// Whether the caller may go on: the lock is held, or could not be made at
// all (a lock another account made unopenable must not stop every update;
// logged as ExtensionUnlocked where the Adobe folder exists, since without it
// the installation fails by itself). When another copy holds it, logs
// ExtensionBusy as an error.
bool MayReplaceExtension(const platform::MachineLock& lock, const ActivityLog& log);

// The start-up installation: installs the package delivered with the program
// unless "Setup" records that this was done. Before that it restores an
// extension whose replacement a crash interrupted. All of it holds the
// extension lock; while another copy holds it longer than kStartupLockWait,
// nothing is done (kFailed) and the next start tries again. While Illustrator runs it
// calls `warn_host_running` first (the shell's message box) and installs all
// the same. kInstalled or kNothingToDo; kFailed when the package file is
// missing. Other failures are raised.
RunOutcome SetupRoutine(ActivityLog log, const std::function<void()>& warn_host_running);

// Replaces the extension folder's contents with the package's items; the
// caller holds the extension lock. False only when the package file is
// missing. A package larger than the free
// space of the extension folder's file system is refused before anything is
// written. Any other failure is raised after the old contents are back in
// place.
bool ExtractPackage(ActivityLog log);
