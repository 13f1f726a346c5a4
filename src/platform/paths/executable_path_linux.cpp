#include "platform/paths/executable_path.h"

#include <unistd.h>

#include <vector>

#include "platform/base/text.h"

namespace platform {

std::wstring ExecutablePath()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return Utf8ToWide({buffer.data(), static_cast<std::size_t>(length)});
        }
        buffer.resize(buffer.size() * 2);
    }
}
}  // namespace platform
