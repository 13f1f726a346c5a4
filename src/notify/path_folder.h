#pragma once
#include <string>
#include <string_view>

namespace toast {

// Everything before the path's last separator; the whole path when it has none.
std::wstring FolderOf(std::wstring_view path);

}  // namespace toast
