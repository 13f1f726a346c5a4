#include "platform/files/file_system.h"

#include <string>
#include <string_view>
#include <system_error>

#include "platform/base/windows_api_win.h"
#include "platform/files/file_info_win.h"
#include "platform/files/lock_retry_win.h"
#include "platform/paths/long_path_win.h"

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

DWORD RemoveEntry(const std::wstring& path, DWORD attributes);

// Every entry below the folder `path`; the first error that outlasts the
// retries ends it.
DWORD RemoveContents(const std::wstring& path)
{
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        ::FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return ::GetLastError();
    DWORD error = ERROR_SUCCESS;
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..") error = RemoveEntry(path + L"\\" + found.cFileName, found.dwFileAttributes);
    } while (error == ERROR_SUCCESS && ::FindNextFileW(search, &found));
    if (error == ERROR_SUCCESS && ::GetLastError() != ERROR_NO_MORE_FILES) error = ::GetLastError();
    ::FindClose(search);
    return error;
}

// The entry at the long path `path`, a folder with everything below it;
// read-only entries are made writable first, as Windows refuses to delete
// them. A link is removed, never followed.
DWORD RemoveEntry(const std::wstring& path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        ::SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    const bool folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (folder && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (const DWORD error = RemoveContents(path); error != ERROR_SUCCESS) return error;
    }
    // A file deleted while another process still has it open lingers until
    // that handle closes, and keeps its folder from being removed till then.
    const auto lingering = [](DWORD error) { return IsTransientLock(error) || error == ERROR_DIR_NOT_EMPTY; };
    const bool removed = folder ? RetryWhileLocked([&] { return ::RemoveDirectoryW(path.c_str()) != FALSE; }, lingering)
                                : RetryWhileLocked([&] { return ::DeleteFileW(path.c_str()) != FALSE; });
    return removed ? ERROR_SUCCESS : ::GetLastError();
}

[[noreturn]] void Fail(DWORD error, const char* what, const std::filesystem::path& path)
{
    throw std::filesystem::filesystem_error(what, path,
                                            std::error_code(static_cast<int>(error), std::system_category()));
}

// FlushFileBuffers needs a handle that may write, which a read-only file
// gives only while its attribute is cleared.
void FlushFile(const std::filesystem::path& file_path)
{
    const std::filesystem::path path = LongPath(file_path.native());
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ::SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
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
    const std::wstring name = LongPath(path);
    return ::CreateDirectoryW(name.c_str(), nullptr) ? WindowsError::kSuccess : LastSystemError();
}

// The entry itself: a reparse point (a link) is described, not followed.
WindowsError FindFile(std::wstring_view path, FileInfo& info)
{
    const std::wstring name = LongPath(path);
    WIN32_FILE_ATTRIBUTE_DATA native{};
    if (!::GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &native)) return LastSystemError();
    info = FileInfoFrom(native);
    info.name = FileNamePart(path);
    return WindowsError::kSuccess;
}

WindowsError ApplyFileAttributes(std::wstring_view path, std::uint32_t attributes)
{
    const std::wstring name = LongPath(path);
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
    const std::wstring name = LongPath(path);
    return RetryWhileLocked([&] { return ::DeleteFileW(name.c_str()) != FALSE; }) ? WindowsError::kSuccess
                                                                                  : LastSystemError();
}

WindowsError MoveFileOver(std::wstring_view from, std::wstring_view to)
{
    const std::wstring source = LongPath(from);
    const std::wstring target = LongPath(to);
    return RetryWhileLocked([&] {
        return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
               FALSE;
    })
               ? WindowsError::kSuccess
               : LastSystemError();
}

// NTFS flushes a folder's entries through a handle to the folder; file
// systems that cannot (FAT, some network shares) refuse, and are left to
// their own write-back.
void FlushFolder(const std::filesystem::path& path)
{
    const std::wstring name = LongPath(path.native());
    const HANDLE folder =
        ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return;
    ::FlushFileBuffers(folder);
    ::CloseHandle(folder);
}

void FlushTree(const std::filesystem::path& path)
{
    // Walked by its long name, so a tree deeper than 260 characters is too.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(LongPath(path.native()))) {
        if (entry.is_symlink()) continue;
        if (entry.is_regular_file()) FlushFile(entry.path());
        else if (entry.is_directory()) FlushFolder(entry.path());
    }
    FlushFolder(path);
}

void MoveFolder(const std::filesystem::path& from, const std::filesystem::path& to)
{
    RefuseLink(from);
    // Without MOVEFILE_REPLACE_EXISTING any entry at the target, a junction
    // included, fails the move.
    const std::wstring source = LongPath(from.native());
    const std::wstring target = LongPath(to.native());
    if (!RetryWhileLocked([&] { return ::MoveFileExW(source.c_str(), target.c_str(), 0) != FALSE; })) {
        throw std::filesystem::filesystem_error(
            "cannot rename", from, to, std::error_code(static_cast<int>(::GetLastError()), std::system_category()));
    }
}

void CreateFolderExclusively(const std::filesystem::path& path)
{
    // CreateDirectoryW fails on any entry of that name, a junction included.
    const std::wstring name = LongPath(path.native());
    if (!::CreateDirectoryW(name.c_str(), nullptr)) Fail(::GetLastError(), "cannot create the folder", path);
}

// The attributes of the entry itself: GetFileAttributesW does not follow a
// reparse point, it reports FILE_ATTRIBUTE_REPARSE_POINT on it.
void RefuseLink(const std::filesystem::path& path)
{
    const std::wstring name = LongPath(path.native());
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
        Fail(error, "cannot look at", path);
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        Fail(ERROR_CANT_RESOLVE_FILENAME, "refusing the reparse point", path);
}

void RemoveTree(const std::filesystem::path& path)
{
    const std::wstring name = LongPath(path.native());
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES &&
        (::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND)) {
        return;
    }
    const DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : RemoveEntry(name, attributes);
    if (error != ERROR_SUCCESS) {
        throw std::filesystem::filesystem_error("cannot remove all", path,
                                                std::error_code(static_cast<int>(error), std::system_category()));
    }
}

}  // namespace platform
