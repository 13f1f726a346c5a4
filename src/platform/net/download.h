#pragma once
// Downloading a URL into a file.
#include <chrono>
#include <cstdint>
#include <string_view>

namespace platform {

// How long a download may hang before it is given up: waiting for the
// connection, and receiving less than one byte per second.
struct DownloadTimeouts {
    std::chrono::seconds connect{30};
    std::chrono::seconds stall{60};
};

// What DownloadToFile returns when the body grows past its limit; no error
// number of curl or of Windows has this value.
inline constexpr int kDownloadTooLarge = -2;

// Downloads `url` (http, https or file) into `file`, synchronously. Redirects
// are followed to http and https only, at most 10; TLS certificates are
// verified; an HTTP status of 400 or more is a failure. The body is stored
// under a temporary name in the target's folder and renamed over `file` only
// once all of it has arrived, so a failed download leaves `file` as it was.
// A body longer than `max_bytes` is given up as soon as it passes that
// (kDownloadTooLarge), whether or not the server announced its length.
// Returns 0 on success and a non-zero code otherwise.
int DownloadToFile(std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                   const DownloadTimeouts& timeouts = {});

}  // namespace platform
