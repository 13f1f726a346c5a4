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

// The same, also sending `conditions` and filling in what the server
// answered, as platform::DownloadToFile does; kDownloadNotModified for a 304.
using HttpDownloader = std::function<int(
    std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes, const platform::TransferDeadline& deadline,
    const platform::ConditionalHeaders& conditions, platform::DownloadAnswer& answer)>;

// One update run: unless Illustrator runs, fetches the version document from
// the configured source or else the built-in service, skipping a source
// while the wait its Retry-After named runs and asking the source of the
// stored document conditionally (a 304 answers with the stored one), checks
// its signature when a key is trusted or one is required and records the
// verified sequence at once, and when its version differs from the installed
// one and the copy is within the release's rollout downloads the package,
// checks its size and SHA-256 where the document gives them, installs it
// and records the new version and source: kUpdated, which the shell
// announces. Refusals are logged, change nothing and come back as kFailed
// with the error line; failures that are not logged are raised; the
// activity log is dropped on every way out.
RunOutcome UpdateFlow();

// The same run with the downloads made by `download`.
RunOutcome UpdateFlow(const HttpDownloader& download);

// The same with a download that sends no conditions and reports no answer,
// so no 304 and no Retry-After.
RunOutcome UpdateFlow(const Downloader& download);
