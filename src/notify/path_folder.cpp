#include "notify/path_folder.h"

#include "platform/paths/path.h"

namespace toast {

std::wstring FolderOf(std::wstring_view path)
{
    const auto separator = platform::LastSeparator(path);
    return std::wstring(separator == std::wstring_view::npos ? path : path.substr(0, separator));
}

}  // namespace toast
