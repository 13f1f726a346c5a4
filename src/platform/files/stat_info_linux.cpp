#include "platform/files/stat_info_linux.h"

namespace platform {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDifference = 11'644'473'600;

}  // namespace

std::uint64_t TicksFromTimespec(const timespec& time)
{
    const std::int64_t seconds = static_cast<std::int64_t>(time.tv_sec) + kEpochDifference;
    return static_cast<std::uint64_t>(seconds * kTicksPerSecond + time.tv_nsec / 100);
}

timespec TimespecFromTicks(std::uint64_t ticks)
{
    timespec time{};
    time.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(ticks / kTicksPerSecond) - kEpochDifference);
    time.tv_nsec = static_cast<long>(ticks % kTicksPerSecond) * 100;
    return time;
}

FileInfo FileInfoFromStat(const struct stat& status)
{
    FileInfo info;
    info.attributes = kAttributeUnixExtension | (static_cast<std::uint32_t>(status.st_mode) << 16);
    if (S_ISDIR(status.st_mode)) info.attributes |= kAttributeDirectory;
    if ((status.st_mode & S_IWUSR) == 0) info.attributes |= kAttributeReadOnly;
    info.creation_time = TicksFromTimespec(status.st_ctim);
    info.access_time = TicksFromTimespec(status.st_atim);
    info.write_time = TicksFromTimespec(status.st_mtim);
    info.size = static_cast<std::uint64_t>(status.st_size);
    info.volume = static_cast<std::uint64_t>(status.st_dev);
    info.index = static_cast<std::uint64_t>(status.st_ino);
    return info;
}

}  // namespace platform
