#pragma once
// The periodic update check.
#include <cstdint>
#include <functional>
#include <string_view>

#include "update/run_outcome.h"

// Downloads a URL into a file, giving up past `max_bytes`; 0 means the whole
// resource is in the file, platform::kDownloadTooLarge that it was longer.
using Downloader = std::function<int(std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes)>;

// The largest version document and the largest package of an unsigned one.
inline constexpr std::uint64_t kVersionDocumentLimit = std::uint64_t{1} << 20;
inline constexpr std::uint64_t kUnsignedPackageLimit = std::uint64_t{4} << 30;

// One update run: unless Illustrator runs, fetches the version document from
// the configured source or else the built-in service, checks its signature
// when it has one or one is required, and when its version differs from the
// installed one downloads the package, checks its size and SHA-256 where the
// document gives them, installs it and records the new version, source and
// signed sequence: kUpdated, which the shell announces. Refusals are logged,
// change nothing and come back as kFailed with the error line; failures that
// are not logged are raised; the activity log is dropped on every way out.
RunOutcome UpdateFlow();

// The same run with the downloads made by `download`.
RunOutcome UpdateFlow(const Downloader& download);
