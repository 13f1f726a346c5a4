#pragma once
// The hidden main window's procedure, the update timer's callback and the
// About box's dialog procedure.
#include <cstdint>
#include <string>

#include "desktop/dialogs/message_box.h"
#include "desktop/message_loop.h"

// Command ids of the main window.
inline constexpr std::uint16_t AboutCommand = 104;
inline constexpr std::uint16_t ExitCommand = 105;
inline constexpr std::uint16_t TrayQuitCommand = 4001;

inline constexpr std::uint32_t TrayIconId = 128;

desktop::LResult MainWndProc(desktop::WindowHandle window, desktop::Message message, desktop::WParam wparam,
                             desktop::LParam lparam);

// After an error left the creation handler: the reason goes to the activity
// log as an error line and into a message box, and the tray icon stays (or
// comes) with the reason in its tip, so the user sees why nothing happens
// and can quit. The timer is not started.
void ReportStartupFailure(desktop::WindowHandle window, const std::string& reason);

// Runs one update check; a failed check is simply retried at the next tick.
void UpdateTimerProc(desktop::WindowHandle window, desktop::Message message, desktop::TimerId id, std::uint32_t time);

desktop::LResult AboutDlgProc(desktop::DialogHandle dialog, desktop::Message message, desktop::WParam wparam,
                              desktop::LParam lparam);
