#pragma once
// What the layer's Windows files share: the system headers (the build leaves
// out the min and max macros), the owner of a kernel handle and the FILETIME
// conversion.
#include <windows.h>

#include <cstdint>
#include <memory>

namespace platform {

struct HandleCloser {
    void operator()(HANDLE handle) const
    {
        if (handle && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// A FILETIME as one count of 100 ns ticks.
inline std::uint64_t FileTimeTicks(const FILETIME& time)
{
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

}  // namespace platform
