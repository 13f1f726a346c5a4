#include "update/main_window.h"

platform::WindowHandle MainWindowHandle = nullptr;  // NOLINT(readability-identifier-naming)
