#include "platform/process/machine_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/base/text.h"

namespace platform {

MachineLock::MachineLock(std::wstring_view, std::wstring_view linux_lock_file, std::chrono::milliseconds wait)
{
    const std::string path = WideToUtf8(linux_lock_file);
    // Only the owner may open it: any user who can open a file can flock it
    // and hold every replacement up. Read-only is enough for flock.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error_ = "Cannot open " + path + ": " + std::strerror(errno);
        return;
    }
    handle_ = fd;
    // A file an earlier version made readable by all is closed to them now.
    struct stat lock_file {};
    if (::fstat(fd, &lock_file) == 0 && lock_file.st_uid == ::geteuid() && (lock_file.st_mode & 077) != 0) {
        ::fchmod(fd, lock_file.st_mode & 0700);
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error_ = "Cannot lock " + path + ": " + std::strerror(errno);
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

MachineLock::~MachineLock()
{
    // Closing the last descriptor releases the lock.
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

}  // namespace platform
