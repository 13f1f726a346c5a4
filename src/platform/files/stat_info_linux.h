#pragma once
// Turns what stat() reports into the system-neutral file description.
#include <sys/stat.h>
#include <time.h>

#include <cstdint>

#include "platform/files/file_info.h"

namespace platform {

std::uint64_t TicksFromTimespec(const timespec& time);
timespec TimespecFromTicks(std::uint64_t ticks);
FileInfo FileInfoFromStat(const struct stat& status);

}  // namespace platform
