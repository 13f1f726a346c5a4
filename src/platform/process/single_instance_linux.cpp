#include "platform/process/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

// $XDG_RUNTIME_DIR when it is the user's own private folder; otherwise the
// working folder, which is the user's too. A folder another user may write
// would let that user take the name first.
std::string GuardFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat folder {};
    if (runtime && *runtime == '/' && ::stat(runtime, &folder) == 0 && S_ISDIR(folder.st_mode) &&
        folder.st_uid == ::getuid() && (folder.st_mode & 07777) == 0700) {
        return runtime;
    }
    return ".";
}

}  // namespace

// An exclusive flock on "<name>.lock" in a folder only the user may write:
// the kernel releases it with the last descriptor, even when the process is
// killed, and no other user can create or open the file.
InstanceGuard::InstanceGuard(std::string_view name)
{
    const std::string path = GuardFolder() + "/" + std::string(name) + ".lock";
    // Close-on-exec, so that programs we start do not keep the lock alive.
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0) return;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
        handle_ = descriptor;
        return;
    }
    another_copy_runs_ = errno == EWOULDBLOCK;
    ::close(descriptor);
}

InstanceGuard::~InstanceGuard()
{
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

}  // namespace platform
