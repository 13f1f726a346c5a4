#pragma once
// How the system spells paths: separators, roots, and the components that
// would leave a folder.
#include <cstddef>
#include <optional>
#include <string_view>

namespace platform {

#if defined(_WIN32)
// The separator the system reports; the forward slash separates as well.
inline constexpr wchar_t kPathSeparator = L'\\';
inline constexpr bool IsPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
#else
// The separator the system uses in paths, and the only one it accepts.
inline constexpr wchar_t kPathSeparator = L'/';
inline constexpr bool IsPathSeparator(wchar_t c) { return c == L'/'; }
#endif

// Position of the last separator, npos when there is none.
inline std::size_t LastSeparator(std::wstring_view path)
{
    for (std::size_t at = path.size(); at-- > 0;) {
        if (IsPathSeparator(path[at])) return at;
    }
    return std::wstring_view::npos;
}

// The name after the last separator; the whole path when it has none.
inline std::wstring_view FileNamePart(std::wstring_view path)
{
    const std::size_t separator = LastSeparator(path);
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

// The folder before the last separator, without it; none when the path has
// no separator.
inline std::optional<std::wstring_view> FolderPart(std::wstring_view path)
{
    const std::size_t separator = LastSeparator(path);
    if (separator == std::wstring_view::npos) return std::nullopt;
    return path.substr(0, separator);
}

// Length of the root at the start of `path`, 0 for a relative path: "/" on
// Linux; a drive ("C:", "C:\"), a share ("\\server\share\") or a device or
// long-path prefix ("\\?\C:\", "\\.\") on Windows, or a lone leading separator.
std::size_t RootPrefixLength(std::wstring_view path);

// True for a component of a relative path that does not name an entry inside
// the folder it is relative to: empty, "..", or, on Windows, one the system
// would read as such (dots and spaces only), that names a drive or stream, or
// that opens a device instead of a file ("CON", "nul.txt", "COM1").
bool IsEscapingComponent(std::wstring_view component);

}  // namespace platform
