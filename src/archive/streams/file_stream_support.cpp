#include "archive/streams/file_stream_support.h"

#include "archive/archive_error.h"

namespace archive {

HRESULT SeekFile(platform::File& file, std::int64_t offset, std::uint32_t origin, std::uint64_t* position)
{
    if (origin > 2) return hresult::kInvalidFunction;
    std::uint64_t reached = 0;
    const platform::WindowsError error = file.Seek(offset, static_cast<platform::SeekOrigin>(origin), reached);
    if (error != platform::WindowsError::kSuccess) return FailureFromWindowsError(error);
    if (position) *position = reached;
    return hresult::kOk;
}

FILETIME FileTimeFromTicks(std::uint64_t ticks)
{
    return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

std::uint64_t TicksFromFileTime(FILETIME time)
{
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

}  // namespace archive
