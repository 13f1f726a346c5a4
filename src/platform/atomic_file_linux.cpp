#include "platform/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/replacement_file_linux.h"

namespace platform {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason)
{
    throw FileWriteError("Cannot write " + path + ": " + reason);
}

}  // namespace

void ReplaceFileContent(const std::string& path, std::string_view content)
{
    struct stat old_file {};
    const bool exists = ::stat(path.c_str(), &old_file) == 0;
    // The mode check also holds for root, whom access() lets write anything.
    if (exists && ((old_file.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)) {
        Fail(path, "the file is read-only");
    }
    ReplacementFile replacement(path);
    if (replacement.error() != 0 || replacement.SetMode(exists ? (old_file.st_mode & 07777) : 0644) != 0 ||
        replacement.Write(content.data(), content.size()) != 0 || replacement.Commit() != 0) {
        Fail(path, std::string(replacement.failed_call()) + " failed: " + std::strerror(replacement.error()));
    }
}

}  // namespace platform
