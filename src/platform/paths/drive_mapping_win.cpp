#include "platform/paths/drive_mapping.h"

#include <string>

namespace platform {

// The fixed paths name drive C: itself.
std::wstring MapDrivePath(std::wstring_view windows_path) { return std::wstring(windows_path); }

}  // namespace platform
