#pragma once
#include <filesystem>
#include <string_view>

#include "platform/text.h"

// A file-system path from one of the program's wide paths, made from its UTF-8
// bytes: a path made from wide text would go through the locale.
inline std::filesystem::path NativePath(std::wstring_view wide_path)
{
    return std::filesystem::path(platform::WideToUtf8(wide_path));
}
