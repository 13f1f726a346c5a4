#pragma once
// A small tmpfs mounted over a folder for the scope, so that a test can run a
// file system full or read-only. Mounting needs the superuser (or a mount
// namespace of one's own); where it is refused, mounted() is false.
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace testing_support {

class SmallTmpfs {
public:
    SmallTmpfs(std::filesystem::path folder, const std::string& options) : folder_(std::move(folder))
    {
        std::filesystem::create_directories(folder_);
        if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
            mounted_ = true;
        } else {
            error_ = std::strerror(errno);
        }
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;
    ~SmallTmpfs()
    {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }

    bool mounted() const { return mounted_; }
    // Why the mount was refused.
    const std::string& error() const { return error_; }

    // Changes the mount's options ("size=16m", "ro", "rw") keeping its files.
    bool Remount(const std::string& options, bool read_only = false)
    {
        const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (read_only ? MS_RDONLY : 0);
        return ::mount("tmpfs", folder_.c_str(), "tmpfs", flags, options.c_str()) == 0;
    }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
    std::string error_;
};

}  // namespace testing_support
