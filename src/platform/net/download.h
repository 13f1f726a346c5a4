#pragma once
// Downloading a URL into a file.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
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

// What DownloadToFile returns for a 304 answer: `file` is left as it was.
inline constexpr int kDownloadNotModified = -3;

// The validators of an earlier answer, sent so that the server or a cache in
// front of it may answer 304; an empty one is not sent.
struct ConditionalHeaders {
    std::string if_none_match;
    std::string if_modified_since;
};

// What the last HTTP answer of a download said, failures included: its
// status (0 when none came) and the headers a later request or wait needs,
// empty when it did not send them.
struct DownloadAnswer {
    int status = 0;
    std::string etag;
    std::string last_modified;
    std::string retry_after;
};

// Downloads `url` (http, https or file) into `file`, synchronously. Redirects
// are followed to http and https only, at most 10; TLS certificates are
// verified; an HTTP status of 400 or more is a failure. The body is stored
// under a temporary name in the target's folder and renamed over `file` only
// once all of it has arrived, so a failed download leaves `file` as it was.
// A body longer than `max_bytes` is given up as soon as it passes that
// (kDownloadTooLarge), whether or not the server announced its length; one
// that runs past its deadline is given up too. `conditions` go out with every
// HTTP request, and `answer`, when given, receives what the last answer
// said. Returns 0 on success, kDownloadNotModified for a 304 and a non-zero
// code otherwise.
int DownloadToFile(std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                   const DownloadTimeouts& timeouts = {}, const ConditionalHeaders& conditions = {},
                   DownloadAnswer* answer = nullptr);

}  // namespace platform
