#include "platform/paths/executable_path.h"

#include "platform/paths/path.h"

namespace platform {

std::wstring ExecutableFolder()
{
    const std::wstring path = ExecutablePath();
    const auto separator = LastSeparator(path);
    return separator == std::wstring::npos ? std::wstring{} : path.substr(0, separator);
}

}  // namespace platform
