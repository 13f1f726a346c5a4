#include "update/main_window.h"

platform::WindowHandle MainWindowHandle = nullptr;
