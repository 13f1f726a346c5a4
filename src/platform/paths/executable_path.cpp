#include "platform/paths/executable_path.h"

#include "platform/paths/path.h"

namespace platform {

std::wstring ExecutableFolder()
{
    const std::wstring path = ExecutablePath();
    return std::wstring(FolderPart(path).value_or(std::wstring_view{}));
}

}  // namespace platform
