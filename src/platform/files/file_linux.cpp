#include "platform/files/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/base/text.h"
#include "platform/files/stat_info_linux.h"

namespace platform {
namespace {

int DispositionFlags(CreationDisposition disposition)
{
    switch (disposition) {
    case CreationDisposition::kCreateNew: return O_CREAT | O_EXCL;
    case CreationDisposition::kCreateAlways: return O_CREAT | O_TRUNC;
    case CreationDisposition::kOpenExisting: return 0;
    case CreationDisposition::kOpenAlways: return O_CREAT;
    case CreationDisposition::kTruncateExisting: return O_TRUNC;
    }
    return 0;
}

int Whence(SeekOrigin origin)
{
    switch (origin) {
    case SeekOrigin::kBegin: return SEEK_SET;
    case SeekOrigin::kCurrent: return SEEK_CUR;
    case SeekOrigin::kEnd: return SEEK_END;
    }
    return SEEK_SET;
}

// One read or write, repeated when a signal interrupts it before any byte moved.
template <class Call>
WindowsError Transfer(Call call, std::size_t& moved)
{
    ssize_t result = -1;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    moved = result < 0 ? 0 : static_cast<std::size_t>(result);
    return result < 0 ? LastSystemError() : WindowsError::kSuccess;
}

}  // namespace

WindowsError File::Open(std::wstring_view path, bool for_writing, CreationDisposition disposition)
{
    // Never write through a symbolic link that appeared at the path.
    const int flags = for_writing ? O_WRONLY | O_NOFOLLOW | DispositionFlags(disposition) : O_RDONLY;
    if (IsOpen()) return WindowsError::kGeneralFailure;
    const std::string name = WideToUtf8(path);
    int descriptor = -1;
    do {
        descriptor = open(name.c_str(), flags | O_CLOEXEC, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return LastSystemError();
    handle_ = descriptor;
    // A folder is not a file to read or write, as on Windows.
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
        Close();
        return WindowsError::kAccessDenied;
    }
    return WindowsError::kSuccess;
}

WindowsError File::Read(void* buffer, std::size_t size, std::size_t& read)
{
    return Transfer([&] { return ::read(static_cast<int>(handle_), buffer, size); }, read);
}

WindowsError File::Write(const void* buffer, std::size_t size, std::size_t& written)
{
    return Transfer([&] { return ::write(static_cast<int>(handle_), buffer, size); }, written);
}

WindowsError File::Seek(std::int64_t offset, SeekOrigin origin, std::uint64_t& position)
{
    const off_t result = lseek(static_cast<int>(handle_), static_cast<off_t>(offset), Whence(origin));
    if (result < 0) return LastSystemError();
    position = static_cast<std::uint64_t>(result);
    return WindowsError::kSuccess;
}

WindowsError File::Truncate(std::uint64_t size)
{
    return ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) == 0 ? WindowsError::kSuccess
                                                                               : LastSystemError();
}

WindowsError File::Info(FileInfo& info) const
{
    struct stat status {};
    if (fstat(static_cast<int>(handle_), &status) != 0) return LastSystemError();
    info = FileInfoFromStat(status);
    return WindowsError::kSuccess;
}

WindowsError File::SetWriteTime(std::uint64_t ticks)
{
    const timespec times[2] = {{0, UTIME_OMIT}, TimespecFromTicks(ticks)};
    return futimens(static_cast<int>(handle_), times) == 0 ? WindowsError::kSuccess : LastSystemError();
}

WindowsError File::Close()
{
    if (!IsOpen()) return WindowsError::kSuccess;
    const auto descriptor = static_cast<int>(handle_);
    handle_ = kNoHandle;
    // The descriptor is gone even when close() reports an error.
    return ::close(descriptor) == 0 ? WindowsError::kSuccess : LastSystemError();
}

}  // namespace platform
