#pragma once
// A source's request to be asked again later (Retry-After on a 429 or 503),
// kept as an absolute time in "RetryAfter.json" beside the working files so
// that a restart keeps it; one entry per source address.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/net/download.h"

// A source is never waited for longer than this from the moment it asked.
inline constexpr std::chrono::hours kLongestServiceWait{24};

// Until when `value` (seconds, or an HTTP date) asks to wait, from `now` and
// at most kLongestServiceWait; nullopt for a value that cannot be read.
std::optional<std::chrono::sys_seconds> ParseRetryAfter(std::string_view value, std::chrono::sys_seconds now);

// The end of the wait `source` asked for when it is still ahead of `now`;
// a missing or unreadable record means none.
std::optional<std::chrono::sys_seconds> ServiceWaitUntil(const std::string& source, std::chrono::sys_seconds now);

// Records the wait of a 429 or 503 answer that carries a readable
// Retry-After, durably, dropping the waits that have ended; any other
// answer, or a record that cannot be written, leaves it as it is.
void RecordServiceWait(const std::string& source, const platform::DownloadAnswer& answer, std::chrono::sys_seconds now);

// "YYYY-MM-DDTHH:MM:SSZ", as the log shows a wait's end.
std::string FormatUtcTime(std::chrono::sys_seconds time);
