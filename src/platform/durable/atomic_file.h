#pragma once
// Replacing a file's whole content so that a reader, a crash or a full disk
// never leaves a partial file behind.
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

class FileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes `content` to a temporary file in the same folder as `path`, flushes
// it to disk and renames it over `path`, keeping the old file's permissions.
// On failure the old file is untouched and FileWriteError names the file and
// the reason.
void ReplaceFileContent(const std::string& path, std::string_view content);

}  // namespace platform
