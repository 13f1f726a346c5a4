#pragma once
// The file-system steps of extraction, built on the platform's single calls.
#include <string>
#include <string_view>

#include "platform/files/file_info.h"

namespace archive {

// The entry at `path`, if there is one (a symbolic link is not followed).
bool FindEntry(std::wstring_view path, platform::FileInfo& info);

// Creates every missing level of `path`; true when it is a folder afterwards.
bool CreateFolderPath(std::wstring path);

// Deletes the file at `path`, first making a read-only one writable.
bool DeleteFileInTheWay(std::wstring_view path);

// The item path leaves the output folder: it is absolute or has an empty or
// ".." component.
bool IsUnsafeItemPath(std::wstring_view item_path);

}  // namespace archive
