#pragma once
#include <cstddef>

#include "archive/codec/com.h"
#include "platform/files/file.h"

namespace archive {

// Every single read or write moves at most this much.
inline constexpr std::size_t kMaxTransfer = 0x400000;

// The seek origins the codec library passes (0 begin, 1 current, 2 end).
HRESULT SeekFile(platform::File& file, std::int64_t offset, std::uint32_t origin, std::uint64_t* position);

FILETIME FileTimeFromTicks(std::uint64_t ticks);
std::uint64_t TicksFromFileTime(FILETIME time);

}  // namespace archive
