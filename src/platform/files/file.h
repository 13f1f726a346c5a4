#pragma once
// An open file and the calls on it. Each call is one
// system call; the object owns the system's handle and closes it on destruction.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/base/windows_error.h"
#include "platform/files/file_info.h"

namespace platform {

enum class CreationDisposition {
    kCreateNew = 1,
    kCreateAlways = 2,
    kOpenExisting = 3,
    kOpenAlways = 4,
    kTruncateExisting = 5
};
enum class SeekOrigin { kBegin = 0, kCurrent = 1, kEnd = 2 };

class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    bool IsOpen() const { return handle_ != kNoHandle; }

    // Both fail when a file is already open.
    WindowsError OpenForReading(std::wstring_view path);
    WindowsError OpenForWriting(std::wstring_view path, CreationDisposition disposition);

    WindowsError Read(void* buffer, std::size_t size, std::size_t& read);
    WindowsError Write(const void* buffer, std::size_t size, std::size_t& written);
    WindowsError Seek(std::int64_t offset, SeekOrigin origin, std::uint64_t& position);
    WindowsError Truncate(std::uint64_t size);
    WindowsError Info(FileInfo& info) const;
    WindowsError SetWriteTime(std::uint64_t ticks);

    // Closing a file that is not open succeeds.
    WindowsError Close();

private:
    // A descriptor on Linux, a HANDLE on Windows; both use -1 for none.
    static constexpr std::intptr_t kNoHandle = -1;
    WindowsError Open(std::wstring_view path, bool for_writing, CreationDisposition disposition);

    std::intptr_t handle_ = kNoHandle;
};

}  // namespace platform
