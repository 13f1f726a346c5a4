#pragma once
#include <string>

namespace platform {

// Full path of the running executable.
// Empty when the system cannot tell.
std::wstring ExecutablePath();

// Everything before the last separator of ExecutablePath().
std::wstring ExecutableFolder();

}  // namespace platform
