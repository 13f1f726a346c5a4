#include "app/main_window.h"

desktop::WindowHandle MainWindowHandle = nullptr;  // NOLINT(readability-identifier-naming)
