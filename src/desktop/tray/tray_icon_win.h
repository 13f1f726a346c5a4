#pragma once
// The shell call behind the tray icon, which a test replaces to make it fail
// as Explorer does before it is ready at log-on.
#include <windows.h>

#include <shellapi.h>

namespace desktop {

using ShellNotifyIconCall = BOOL (*)(DWORD message, NOTIFYICONDATAW* data);

// Makes `call` the one every tray icon uses (nullptr: Shell_NotifyIconW
// again) and returns the one it replaces.
ShellNotifyIconCall ReplaceShellNotifyIcon(ShellNotifyIconCall call);

// How long an icon the shell refused waits before it is offered again.
inline constexpr UINT kTrayRetryMilliseconds = 1000;

// The window timer that offers refused icons again, running only while one
// is; thread timers, which the message loop uses, never reach the window.
inline constexpr UINT_PTR kTrayRetryTimer = 0x7E41;

}  // namespace desktop
