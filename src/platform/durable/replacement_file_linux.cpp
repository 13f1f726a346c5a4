#include "platform/durable/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "platform/base/text.h"
#include "platform/files/file_system.h"

namespace platform {

const char* ReplacementFile::CreateNew(std::optional<std::uint32_t> mode)
{
    // Without a mode, what the umask leaves of rw for everyone.
    const int fd = ::open(WideToUtf8(path_).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return "open";
    handle_ = fd;
    if (mode && ::fchmod(fd, static_cast<mode_t>(*mode)) != 0) return "fchmod";
    return nullptr;
}

const char* ReplacementFile::WriteSome(const char* data, std::size_t size, std::size_t& written)
{
    ssize_t result = 0;
    do {
        result = ::write(static_cast<int>(handle_), data, size);
    } while (result < 0 && errno == EINTR);
    if (result < 0) return "write";
    written = static_cast<std::size_t>(result);
    return nullptr;
}

const char* ReplacementFile::FlushAndClose()
{
    if (::fsync(static_cast<int>(handle_)) != 0) return "fsync";
    if (::close(static_cast<int>(std::exchange(handle_, kNoHandle))) != 0) return "close";
    return nullptr;
}

// The rename, then its folder flushed, so that it lasts.
const char* ReplacementFile::MoveOverTarget()
{
    return MoveFileOver(path_, target_) == WindowsError::kSuccess ? nullptr : "rename";
}

void ReplacementFile::CloseAndRemove()
{
    if (handle_ != kNoHandle) ::close(static_cast<int>(std::exchange(handle_, kNoHandle)));
    if (!path_.empty()) ::unlink(WideToUtf8(path_).c_str());
}

unsigned long ReplacementFile::ProcessId() { return static_cast<unsigned long>(::getpid()); }

bool ReplacementFile::AlreadyExists(int error) { return error == EEXIST; }

int ReplacementFile::LastError() { return errno != 0 ? errno : EIO; }

std::string ReplacementFile::ErrorText() const { return std::strerror(error_); }

ReplacedFile LookAtReplacedFile(std::wstring_view path)
{
    const std::string name = WideToUtf8(path);
    struct stat old_file {};
    if (::stat(name.c_str(), &old_file) != 0) return {};
    // The mode check also holds for root, whom access() lets write anything.
    return {(old_file.st_mode & 0222) == 0 || ::access(name.c_str(), W_OK) != 0, old_file.st_mode & 07777};
}

}  // namespace platform
