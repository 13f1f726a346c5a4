#include "platform/base/windows_error.h"

#include "platform/base/windows_api_win.h"

namespace platform {

WindowsError LastSystemError() { return static_cast<WindowsError>(::GetLastError()); }

}  // namespace platform
