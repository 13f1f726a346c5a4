#pragma once
#include "desktop/window.h"

// The tray icon's callback message.
inline constexpr desktop::Message TrayNotify = desktop::WmUser + 0x100;
// Posted after an installation: wParam 1 for the start-up one, 0 for an update.
inline constexpr desktop::Message UpdateNotice = desktop::WmUser + 0x101;
// Posted from the system's thread pool when the service's change event is set.
inline constexpr desktop::Message ServiceChangeNotice = desktop::WmUser + 0x102;

// The hidden main window, set by its creation handler before the start-up
// installation runs.
extern desktop::WindowHandle MainWindowHandle;  // NOLINT(readability-identifier-naming): the system's own name
