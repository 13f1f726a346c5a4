#include "notify/path_folder.h"

#include "platform/path_separator.h"

namespace toast {

std::wstring FolderOf(std::wstring_view path)
{
    const auto separator = path.rfind(platform::kPathSeparator);
    return std::wstring(separator == std::wstring_view::npos ? path : path.substr(0, separator));
}

}  // namespace toast
