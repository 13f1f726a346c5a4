#include "platform/files/file_system.h"

#include <string>
#include <system_error>

#include "platform/base/windows_api_win.h"
#include "platform/files/file_info_win.h"

namespace platform {
namespace {

constexpr DWORD kSettableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// Read-only as the attributes tell it: a Unix mode in the high word (what the
// codec library reports for archives made on Unix) decides by its owner write
// bit, since the library does not set the DOS bit from it.
bool IsReadOnly(std::uint32_t attributes)
{
    if (attributes & kAttributeUnixExtension) return ((attributes >> 16) & 0200) == 0;
    return attributes & kAttributeReadOnly;
}

void MakeWritable(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ::SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
}

// FlushFileBuffers needs a handle that may write, which a read-only file
// gives only while its attribute is cleared.
void FlushFile(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) MakeWritable(path);
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool flushed = file != INVALID_HANDLE_VALUE && ::FlushFileBuffers(file);
    const DWORD error = flushed ? ERROR_SUCCESS : ::GetLastError();
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ::SetFileAttributesW(path.c_str(), attributes);
    }
    if (!flushed) {
        throw std::filesystem::filesystem_error("FlushFileBuffers", path,
                                                std::error_code(static_cast<int>(error), std::system_category()));
    }
}

}  // namespace

WindowsError CreateFolder(std::wstring_view path)
{
    const std::wstring name(path);
    return ::CreateDirectoryW(name.c_str(), nullptr) ? WindowsError::kSuccess : LastSystemError();
}

// The entry itself: a reparse point (a link) is described, not followed.
WindowsError FindFile(std::wstring_view path, FileInfo& info)
{
    const std::wstring name(path);
    WIN32_FILE_ATTRIBUTE_DATA native{};
    if (!::GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &native)) return LastSystemError();
    info = FileInfoFrom(native);
    info.name = FileNamePart(path);
    return WindowsError::kSuccess;
}

WindowsError ApplyFileAttributes(std::wstring_view path, std::uint32_t attributes)
{
    const std::wstring name(path);
    const DWORD current = ::GetFileAttributesW(name.c_str());
    if (current == INVALID_FILE_ATTRIBUTES) return LastSystemError();
    if (current & FILE_ATTRIBUTE_REPARSE_POINT) return WindowsError::kSuccess;
    DWORD wanted = attributes & kSettableAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
    // A folder stays writable so that the items below it can be written.
    if (!(current & FILE_ATTRIBUTE_DIRECTORY) && IsReadOnly(attributes)) wanted |= FILE_ATTRIBUTE_READONLY;
    if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileAttributesW(name.c_str(), wanted) ? WindowsError::kSuccess : LastSystemError();
}

WindowsError RemoveFile(std::wstring_view path)
{
    const std::wstring name(path);
    return ::DeleteFileW(name.c_str()) ? WindowsError::kSuccess : LastSystemError();
}

WindowsError MoveFileOver(std::wstring_view from, std::wstring_view to)
{
    const std::wstring source(from);
    const std::wstring target(to);
    return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? WindowsError::kSuccess
               : LastSystemError();
}

// NTFS flushes a folder's entries through a handle to the folder; file
// systems that cannot (FAT, some network shares) refuse, and are left to
// their own write-back.
void FlushFolder(const std::filesystem::path& path)
{
    const HANDLE folder =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return;
    ::FlushFileBuffers(folder);
    ::CloseHandle(folder);
}

void FlushTree(const std::filesystem::path& path)
{
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
        if (entry.is_symlink()) continue;
        if (entry.is_regular_file()) FlushFile(entry.path());
        else if (entry.is_directory()) FlushFolder(entry.path());
    }
    FlushFolder(path);
}

void RemoveTree(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) return;
    MakeWritable(path);
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path))) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) MakeWritable(entry.path());
    }
    std::filesystem::remove_all(path);
}

}  // namespace platform
