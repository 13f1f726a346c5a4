#pragma once
// A file-system path from one of the program's wide paths. On Linux it is made
// from the UTF-8 bytes, since a path made from wide text would go through the
// locale; on Windows from the wide text itself, never the ANSI code page.
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

std::filesystem::path NativePath(std::wstring_view wide_path);

// The other way: a path as UTF-8 with "/" separators.
std::string GenericUtf8Path(const std::filesystem::path& path);

}  // namespace platform
