#pragma once
#include <cstdint>

namespace platform {

// RtlGetVersion's major version. Linux reports 10: the notification
// service understands what current Windows notifications carry.
std::uint32_t WindowsMajorVersion();

}  // namespace platform
