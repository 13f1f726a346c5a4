#include "platform/files/file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/base/text.h"
#include "platform/files/stat_info_linux.h"

namespace platform {

WindowsError CreateFolder(std::wstring_view path)
{
    return mkdir(WideToUtf8(path).c_str(), 0777) == 0 ? WindowsError::kSuccess : LastSystemError();
}

WindowsError FindFile(std::wstring_view path, FileInfo& info)
{
    struct stat status {};
    if (lstat(WideToUtf8(path).c_str(), &status) != 0) return LastSystemError();
    info = FileInfoFromStat(status);
    const auto slash = path.rfind(kPathSeparator);
    info.name = path.substr(slash == std::wstring_view::npos ? 0 : slash + 1);
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
    return rename(WideToUtf8(from).c_str(), WideToUtf8(to).c_str()) == 0 ? WindowsError::kSuccess : LastSystemError();
}

void MoveFolder(const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::filesystem::rename(from, to);
}

void RemoveTree(const std::filesystem::path& path) { std::filesystem::remove_all(path); }

}  // namespace platform
