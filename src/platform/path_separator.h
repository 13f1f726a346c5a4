#pragma once

namespace platform {

// The separator the system reports in paths (a backslash on Windows).
inline constexpr wchar_t kPathSeparator = L'/';

}  // namespace platform
