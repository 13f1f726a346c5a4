#pragma once
// A file written beside its target and renamed over it only once complete:
// the configuration's new content, the download's body and the desktop
// entry all go through it. Removed unless Commit renamed it. Errors are
// errno values, never 0.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/unique_fd_linux.h"

namespace platform {

class ReplacementFile {
public:
    explicit ReplacementFile(std::string target) : target_(std::move(target))
    {
        // Process id and counter make the name unique among concurrent
        // writers; the mode is what the umask leaves of rw for everyone.
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100 && !fd_; ++attempt) {
            path_ = target_ + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
            fd_.reset(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (!fd_ && errno != EEXIST) break;
        }
        if (!fd_) Failed("open"), path_.clear();
    }
    ~ReplacementFile()
    {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // The creation's error, 0 when the file is open.
    int error() const { return error_; }
    // The call that failed last, for messages.
    const char* failed_call() const { return failed_call_; }

    // Gives the file the permission bits `mode` instead of the umask's.
    int SetMode(mode_t mode) { return ::fchmod(fd_.get(), mode) == 0 ? 0 : Failed("fchmod"); }

    int Write(const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t written = ::write(fd_.get(), bytes, size);
            if (written < 0) {
                if (errno == EINTR) continue;
                return Failed("write");
            }
            bytes += written;
            size -= static_cast<std::size_t>(written);
        }
        return 0;
    }

    // Makes the content durable, renames it over the target in one step and
    // makes the rename durable too.
    int Commit()
    {
        if (::fsync(fd_.get()) != 0) return Failed("fsync");
        if (fd_.close() != 0) return Failed("close");
        if (::rename(path_.c_str(), target_.c_str()) != 0) return Failed("rename");
        path_.clear();
        const std::filesystem::path folder = std::filesystem::path(target_).parent_path();
        const UniqueFd directory(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (directory) ::fsync(directory.get());
        return 0;
    }

private:
    // Never 0, so that a call that failed without saying why still fails.
    int Failed(const char* call)
    {
        failed_call_ = call;
        error_ = errno != 0 ? errno : EIO;
        return error_;
    }

    std::string target_;
    std::string path_;
    UniqueFd fd_;
    int error_ = 0;
    const char* failed_call_ = "";
};

}  // namespace platform
