#pragma once
// The periodic update check.
#include <functional>
#include <string_view>

// Downloads a URL into a file; 0 means the whole resource is in the file.
using Downloader = std::function<int(std::wstring_view url, std::wstring_view file)>;

// One update run: unless Illustrator runs, fetches the version document from
// the configured source or else the built-in service, and when its version
// differs from the installed one downloads and installs the package, records
// the new version and source and posts UpdateNotice (wParam 0) to the main
// window. Failures that are not logged are raised; the activity log is
// dropped on every way out.
void UpdateFlow();

// The same run with the downloads made by `download`.
void UpdateFlow(const Downloader& download);
