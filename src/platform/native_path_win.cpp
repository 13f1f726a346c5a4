#include "platform/native_path.h"

#include <string>

namespace platform {

std::filesystem::path NativePath(std::wstring_view wide_path)
{
    return std::filesystem::path(std::wstring(wide_path));
}

}  // namespace platform
