#pragma once
// What the system tells about one file: attributes, times, size and identity.
#include <cstdint>
#include <string>

namespace platform {

inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
// Set when the Unix mode is carried in the high 16 bits, as the codec library does.
inline constexpr std::uint32_t kAttributeUnixExtension = 0x8000;

struct FileInfo {
    std::uint32_t attributes = 0;
    // Times in 100 ns ticks since 1601-01-01 UTC.
    std::uint64_t creation_time = 0;
    std::uint64_t access_time = 0;
    std::uint64_t write_time = 0;
    std::uint64_t size = 0;
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::wstring name;
};

}  // namespace platform
