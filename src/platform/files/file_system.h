#pragma once
// File-system calls on paths: folder creation, lookup, attributes, deletion.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "platform/base/windows_error.h"
#include "platform/files/file_info.h"
#include "platform/paths/path.h"

namespace platform {

// Creates one folder level; kAlreadyExists when an entry of that name exists.
WindowsError CreateFolder(std::wstring_view path);

// Describes the entry at `path` without following a symbolic link.
WindowsError FindFile(std::wstring_view path, FileInfo& info);

// Windows attribute bits: a folder has kAttributeDirectory, a file without the
// owner's write permission kAttributeReadOnly. With kAttributeUnixExtension
// the permission bits (never set-id or sticky) come from the high 16 bits;
// otherwise kAttributeReadOnly removes the write bits and its absence gives
// the owner write permission back. A folder always keeps the owner's rwx so
// that the items below it can still be written. A symbolic link is left alone.
WindowsError ApplyFileAttributes(std::wstring_view path, std::uint32_t attributes);

WindowsError RemoveFile(std::wstring_view path);

// Renames the file `from` over `to` in one step, replacing what `to` held,
// and makes the rename durable before returning (MOVEFILE_WRITE_THROUGH on
// Windows, a flush of the folder of `to` on Linux, where a folder that
// cannot be flushed leaves the rename as it is).
WindowsError MoveFileOver(std::wstring_view from, std::wstring_view to);

// Makes the entries of the folder `path` durable: a file or folder created
// in it, removed from it or renamed into or out of it survives a power loss.
// Throws filesystem_error; on Windows a file system that cannot flush a
// folder is left to its own write-back.
void FlushFolder(const std::filesystem::path& path);

// Makes every file below the folder `path` durable, data and entries, the
// folder's own entries included. Throws filesystem_error.
void FlushTree(const std::filesystem::path& path);

// Renames the folder (or file) `from` to `to` on the same volume. Whatever
// stands at `to`, an empty folder or a link included, is a failure, and so
// is a symbolic link or other reparse point at `from`: the link is never
// moved where the program would later write. Throws filesystem_error.
void MoveFolder(const std::filesystem::path& from, const std::filesystem::path& to);

// Creates the one folder `path`. An entry already there, a folder or a link,
// is a failure (file_exists), never a folder to reuse: another user may have
// made it. Throws filesystem_error.
void CreateFolderExclusively(const std::filesystem::path& path);

// Throws filesystem_error (too_many_symbolic_link_levels) when `path` is a
// symbolic link, or on Windows any reparse point (a junction, a mount
// point), looked at without following it. A missing entry passes.
void RefuseLink(const std::filesystem::path& path);

// std::filesystem::remove_all, read-only entries included (Windows refuses to
// delete those until the attribute is cleared). Throws filesystem_error.
void RemoveTree(const std::filesystem::path& path);

}  // namespace platform
