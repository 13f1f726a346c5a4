#pragma once
// The periodic update check.
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/download.h"
#include "update/download_limits.h"

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
// gives them, installs it, records the new version and source and posts
// UpdateNotice (wParam 0) to the main window.
// Refusals are logged and change nothing; failures that are not logged are
// raised; the activity log is dropped on every way out.
void UpdateFlow();

// The same run with the downloads made by `download`.
void UpdateFlow(const Downloader& download);
