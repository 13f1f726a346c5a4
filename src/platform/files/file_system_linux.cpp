#include "platform/files/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#include "platform/base/text.h"
#include "platform/base/unique_fd_linux.h"
#include "platform/files/stat_info_linux.h"
#include "platform/paths/path.h"

namespace platform {
namespace {

[[noreturn]] void Fail(const char* call, const std::filesystem::path& path, int error)
{
    throw std::filesystem::filesystem_error(call, path, std::error_code(error, std::generic_category()));
}

// fsync of a file or, opened read-only, of a folder.
void Flush(const std::filesystem::path& path)
{
    const UniqueFd descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!descriptor || ::fsync(descriptor.get()) != 0) Fail("fsync", path, errno);
}

}  // namespace

WindowsError CreateFolder(std::wstring_view path)
{
    return mkdir(WideToUtf8(path).c_str(), 0777) == 0 ? WindowsError::kSuccess : LastSystemError();
}

WindowsError FindFile(std::wstring_view path, FileInfo& info)
{
    struct stat status {};
    if (lstat(WideToUtf8(path).c_str(), &status) != 0) return LastSystemError();
    info = FileInfoFromStat(status);
    info.name = FileNamePart(path);
    return WindowsError::kSuccess;
}

WindowsError ApplyFileAttributes(std::wstring_view path, std::uint32_t attributes)
{
    const std::string name = WideToUtf8(path);
    struct stat status {};
    if (lstat(name.c_str(), &status) != 0) return LastSystemError();
    if (S_ISLNK(status.st_mode)) return WindowsError::kSuccess;

    mode_t mode = status.st_mode;
    if (attributes & kAttributeUnixExtension) {
        mode = static_cast<mode_t>(attributes >> 16);
    } else if (attributes & kAttributeReadOnly) {
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else {
        mode |= S_IWUSR;
    }
    mode &= S_IRWXU | S_IRWXG | S_IRWXO;
    // Illustrator must be able to read what we install: a folder keeps owner
    // rwx, and a file its owner cannot read becomes owner read and write.
    if (S_ISDIR(status.st_mode)) mode |= S_IRWXU;
    else if (!(mode & S_IRUSR)) mode |= S_IRUSR | S_IWUSR;
    return chmod(name.c_str(), mode) == 0 ? WindowsError::kSuccess : LastSystemError();
}

WindowsError RemoveFile(std::wstring_view path)
{
    return unlink(WideToUtf8(path).c_str()) == 0 ? WindowsError::kSuccess : LastSystemError();
}

WindowsError MoveFileOver(std::wstring_view from, std::wstring_view to)
{
    const std::filesystem::path target(WideToUtf8(to));
    if (rename(WideToUtf8(from).c_str(), target.c_str()) != 0) return LastSystemError();
    // Until the folder is flushed, a power loss may take back the rename
    // while what was recorded after it stays. The file has moved either
    // way, so a folder that cannot be flushed is no failure of the move.
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    const UniqueFd descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (descriptor) ::fsync(descriptor.get());
    return WindowsError::kSuccess;
}

void FlushFolder(const std::filesystem::path& path) { Flush(path); }

void FlushTree(const std::filesystem::path& path)
{
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
        if (!entry.is_symlink() && (entry.is_directory() || entry.is_regular_file())) Flush(entry.path());
    }
    Flush(path);
}

void MoveFolder(const std::filesystem::path& from, const std::filesystem::path& to)
{
    RefuseLink(from);
    // rename() would put the folder over an empty one someone made there.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        throw std::filesystem::filesystem_error("cannot rename", from, to,
                                                std::error_code(errno, std::generic_category()));
    }
}

void CreateFolderExclusively(const std::filesystem::path& path)
{
    // mkdir never follows a link in the last place and fails on any entry there.
    if (::mkdir(path.c_str(), 0777) != 0) Fail("cannot create the folder", path, errno);
}

void RefuseLink(const std::filesystem::path& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return;
        Fail("cannot look at", path, errno);
    }
    if (S_ISLNK(status.st_mode)) Fail("refusing the symbolic link", path, ELOOP);
}

void RemoveTree(const std::filesystem::path& path) { std::filesystem::remove_all(path); }

}  // namespace platform
