#pragma once
// The hidden main window's procedure, the update timer's callback and the
// About box's dialog procedure.
#include <cstdint>
#include <string>

#include "platform/message_box.h"
#include "platform/message_loop.h"

// Command ids of the main window.
inline constexpr std::uint16_t AboutCommand = 104;
inline constexpr std::uint16_t ExitCommand = 105;
inline constexpr std::uint16_t TrayQuitCommand = 4001;

inline constexpr std::uint32_t TrayIconId = 128;

platform::LResult MainWndProc(platform::WindowHandle window, platform::Message message, platform::WParam wparam,
                              platform::LParam lparam);

// After an error left the creation handler: the reason goes to the activity
// log as an error line and into a message box, and the tray icon stays (or
// comes) with the reason in its tip, so the user sees why nothing happens
// and can quit. The timer is not started.
void ReportStartupFailure(platform::WindowHandle window, const std::string& reason);

// Runs one update check; a failed check is simply retried at the next tick.
void UpdateTimerProc(platform::WindowHandle window, platform::Message message, platform::TimerId id,
                     std::uint32_t time);

platform::LResult AboutDlgProc(platform::DialogHandle dialog, platform::Message message, platform::WParam wparam,
                               platform::LParam lparam);
