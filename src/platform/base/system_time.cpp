#include "platform/base/system_time.h"

#include <chrono>

namespace platform {
namespace {

// 1601-01-01 to 1970-01-01 in 100 ns units.
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;

}  // namespace

std::int64_t SystemTimeAsFileTime()
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
    const auto since_unix = std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch());
    return kUnixEpochAsFileTime + since_unix.count();
}

}  // namespace platform
