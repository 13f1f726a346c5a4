#include "platform/process/single_instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

namespace platform {

// An abstract Unix socket: no file to clean up, and the kernel releases the
// name with the last descriptor, even when the process is killed. Abstract
// names are seen by every user of the machine, so the user's id is part of
// the name: another user's copy never stops ours.
InstanceGuard::InstanceGuard(std::string_view base_name)
{
    const std::string name = std::string(base_name) + "-" + std::to_string(getuid());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() + 1 > sizeof(address.sun_path)) return;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());

    // Close-on-exec, so that programs we start do not keep the name alive.
    const int descriptor = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0) return;
    if (bind(descriptor, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
        handle_ = descriptor;
        return;
    }
    another_copy_runs_ = errno == EADDRINUSE;
    close(descriptor);
}

InstanceGuard::~InstanceGuard()
{
    if (handle_ >= 0) close(static_cast<int>(handle_));
}

}  // namespace platform
