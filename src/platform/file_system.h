#pragma once
// File-system calls on paths: folder creation, lookup, attributes, deletion.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/file_info.h"
#include "platform/windows_error.h"

namespace platform {

// The separator the system uses in paths, and the only one it accepts.
inline constexpr wchar_t kPathSeparator = L'/';
inline bool IsPathSeparator(wchar_t c) { return c == kPathSeparator; }

// Length of the root at the start of `path` ("/"), 0 for a relative path.
std::size_t RootPrefixLength(std::wstring_view path);

// Creates one folder level; kAlreadyExists when an entry of that name exists.
WindowsError CreateDirectory(std::wstring_view path);

// Describes the entry at `path` without following a symbolic link.
WindowsError FindFile(std::wstring_view path, FileInfo& info);

// Windows attribute bits: a folder has kAttributeDirectory, a file without the
// owner's write permission kAttributeReadOnly. With kAttributeUnixExtension
// the permission bits (never set-id or sticky) come from the high 16 bits;
// otherwise kAttributeReadOnly removes the write bits and its absence gives
// the owner write permission back. A folder always keeps the owner's rwx so
// that the items below it can still be written. A symbolic link is left alone.
WindowsError SetFileAttributes(std::wstring_view path, std::uint32_t attributes);

WindowsError DeleteFile(std::wstring_view path);

}  // namespace platform
