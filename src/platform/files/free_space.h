#pragma once
// The room left on a file system.
#include <cstdint>
#include <string_view>

namespace platform {

// Bytes that ordinary writers may still use on the file system holding
// `path`; space kept back for the superuser does not count. Throws
// std::system_error naming the path when the file system cannot be asked.
std::uint64_t AvailableSpace(std::wstring_view path);

}  // namespace platform
