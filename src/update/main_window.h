#pragma once
#include "platform/window.h"

// The tray icon's callback message.
inline constexpr platform::Message TrayNotify = platform::WmUser + 0x100;
// Posted after an installation: wParam 1 for the start-up one, 0 for an update.
inline constexpr platform::Message UpdateNotice = platform::WmUser + 0x101;

// The hidden main window, set by its creation handler before the start-up
// installation runs.
extern platform::WindowHandle MainWindowHandle;  // NOLINT(readability-identifier-naming): the system's own name
