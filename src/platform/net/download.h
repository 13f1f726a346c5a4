#pragma once
// Downloading a URL into a file.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

// How long a whole download may take: `base`, plus the time its body takes
// at `min_rate` bytes a second. The body's size is `expected_bytes` when
// given, else the length the server announces (at most the download's
// limit), else what has arrived so far, so that a body of unknown size must
// keep up that rate on average. Without a base only the stall rule applies.
struct TransferDeadline {
    std::optional<std::chrono::milliseconds> base{};
    std::uint64_t min_rate = 0;
    std::optional<std::uint64_t> expected_bytes{};

    bool operator==(const TransferDeadline&) const = default;
};

// How long a download may hang before it is given up: waiting for the
// connection, and receiving less than one byte per second; and its deadline.
struct DownloadTimeouts {
    std::chrono::seconds connect{30};
    std::chrono::seconds stall{60};
    TransferDeadline whole{};
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
// (kDownloadTooLarge), whether or not the server announced its length; one
// that runs past its deadline is given up too. Returns 0 on success and a
// non-zero code otherwise.
int DownloadToFile(std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                   const DownloadTimeouts& timeouts = {});

}  // namespace platform
