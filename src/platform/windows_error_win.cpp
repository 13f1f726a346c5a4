#include "platform/windows_error.h"

#include "platform/windows_api_win.h"

namespace platform {

WindowsError LastSystemError() { return static_cast<WindowsError>(::GetLastError()); }

}  // namespace platform
