#pragma once
#include <cstdint>
#include <string_view>

#include "archive/codec/com.h"

namespace archive {

// One archive format of the codec library. The id selects the class
// identifier; the other fields are data only.
struct ArchiveFormat {
    std::uint8_t id;
    std::wstring_view extension;
    std::int32_t default_method;
    std::uint32_t features;
};

namespace formats {
inline constexpr ArchiveFormat BZip2{0x02, L".bz2", 3, 0x24};
inline constexpr ArchiveFormat GZip{0xEF, L".gz", 1, 0x24};
inline constexpr ArchiveFormat SevenZip{0x07, L".7z", 5, 0x5F};
inline constexpr ArchiveFormat Tar{0xEE, L".tar", 0, 0x21};
inline constexpr ArchiveFormat Wim{0xE6, L".wim", 0, 0x01};
inline constexpr ArchiveFormat Xz{0x0C, L".xz", 5, 0x3C};
inline constexpr ArchiveFormat Zip{0x01, L".zip", 1, 0x4D};
}  // namespace formats

// {23170F69-40C1-278A-1000-000110xx0000}, xx being the format id.
constexpr CLSID FormatClassId(const ArchiveFormat& format)
{
    return {0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, format.id, 0x00, 0x00}};
}

}  // namespace archive
