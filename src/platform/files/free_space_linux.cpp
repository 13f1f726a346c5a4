#include "platform/files/free_space.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/base/text.h"

namespace platform {

std::uint64_t AvailableSpace(std::wstring_view path)
{
    const std::string native = WideToUtf8(path);
    struct statvfs status {};
    if (::statvfs(native.c_str(), &status) != 0) {
        throw std::system_error(errno, std::generic_category(), "Cannot read the free space of " + native);
    }
    return static_cast<std::uint64_t>(status.f_bavail) * status.f_frsize;
}

}  // namespace platform
