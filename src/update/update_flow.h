#pragma once
// The periodic update check.
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/net/download.h"
#include "update/download_limits.h"
#include "update/run_outcome.h"

// Downloads a URL into a file, giving up past `max_bytes` or `deadline`; 0
// means the whole resource is in the file, platform::kDownloadTooLarge that
// it was longer.
using Downloader = std::function<int(std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                                     const platform::TransferDeadline& deadline)>;

// One update run: unless Illustrator runs, fetches the version document from
// the configured source or else the built-in service, checks its signature
// when a key is trusted or one is required and records the verified
// sequence at once, and when its version differs from the installed one
// downloads the package, checks its size and SHA-256 where the document
// gives them, installs it and records the new version and source: kUpdated,
// which the shell announces. Refusals are logged, change nothing and come
// back as kFailed with the error line; failures that are not logged are
// raised; the activity log is dropped on every way out.
RunOutcome UpdateFlow();

// The same run with the downloads made by `download`.
RunOutcome UpdateFlow(const Downloader& download);
