#pragma once
// The tray program where the machine-wide service is installed: a display
// only. It shows the icon, the menu and the About box and announces each
// installation or update the service recorded, once for each user; it makes
// no working folder, runs no check, and writes nothing but the user's own
// note of what it announced (in the user's data folder).
#include <filesystem>
#include <optional>

#include "desktop/window.h"
#include "update/run_outcome.h"

// The change recorded in `service_folder` that `user_note` does not name
// yet: its result (kInstalled or kUpdated), noted first so that it is
// announced once only; kNothingToDo otherwise, or when the note cannot be
// written.
RunResult TakeUnannouncedChange(const std::filesystem::path& service_folder, const std::filesystem::path& user_note);

// The display's start in the main window's creation: the working folder
// becomes the service's (read only), changes are looked for at once, when
// the service's event is set, and at the service's check interval.
void StartServiceDisplay(desktop::WindowHandle window, const std::filesystem::path& service_folder);

// Posts UpdateNotice for a change this user has not been told of.
void AnnounceServiceChange();
