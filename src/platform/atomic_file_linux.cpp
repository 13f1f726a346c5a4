#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/unique_fd_linux.h"

namespace platform {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason)
{
    throw FileWriteError("Cannot write " + path + ": " + reason);
}

[[noreturn]] void Fail(const std::string& path, const char* call, int error)
{
    Fail(path, std::string(call) + " failed: " + std::strerror(error));
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void WriteAll(int fd, std::string_view content, const std::string& path)
{
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            Fail(path, "write", errno);
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Removes the temporary file unless the rename consumed it.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string name) : name_(std::move(name)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        if (!name_.empty()) ::unlink(name_.c_str());
    }
    const std::string& name() const { return name_; }
    void Release() { name_.clear(); }

private:
    std::string name_;
};

}  // namespace

void ReplaceFileContent(const std::string& path, std::string_view content)
{
    struct stat old_file {};
    const bool exists = ::stat(path.c_str(), &old_file) == 0;
    // The mode check also holds for root, whom access() lets write anything.
    if (exists && ((old_file.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)) {
        Fail(path, "the file is read-only");
    }

    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd) Fail(path, "mkostemp", errno);
    TemporaryFile temporary(name.data());

    const mode_t mode = exists ? (old_file.st_mode & 07777) : 0644;
    if (::fchmod(fd.get(), mode) != 0) Fail(path, "fchmod", errno);
    WriteAll(fd.get(), content, path);
    if (::fsync(fd.get()) != 0) Fail(path, "fsync", errno);
    if (fd.close() != 0) Fail(path, "close", errno);
    if (::rename(temporary.name().c_str(), path.c_str()) != 0) Fail(path, "rename", errno);
    temporary.Release();

    // Make the rename itself durable.
    UniqueFd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.get());
}

}  // namespace platform
