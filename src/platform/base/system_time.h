#pragma once
#include <cstdint>

namespace platform {

// GetSystemTimeAsFileTime: 100 ns units since 1601-01-01 UTC.
std::int64_t SystemTimeAsFileTime();

}  // namespace platform
