#include "archive/streams/out_file_stream.h"

#include <algorithm>

#include "archive/archive_error.h"
#include "archive/streams/file_stream_support.h"

namespace archive {

bool OutFileStream::Open(std::wstring_view path, platform::CreationDisposition disposition)
{
    processed_size_ = 0;
    return file_.Close() == platform::WindowsError::kSuccess &&
           file_.OpenForWriting(path, disposition) == platform::WindowsError::kSuccess;
}

HRESULT OutFileStream::Close()
{
    const platform::WindowsError error = file_.Close();
    return error == platform::WindowsError::kSuccess ? hresult::kOk : FailureFromWindowsError(error);
}

bool OutFileStream::SetModificationTime(FILETIME time)
{
    return file_.SetWriteTime(TicksFromFileTime(time)) == platform::WindowsError::kSuccess;
}

HRESULT OutFileStream::Write(const void* data, std::uint32_t size, std::uint32_t* processed)
{
    const auto* bytes = static_cast<const char*>(data);
    std::size_t total = 0;
    platform::WindowsError error = platform::WindowsError::kSuccess;
    while (total < size) {
        std::size_t written = 0;
        error = file_.Write(bytes + total, std::min<std::size_t>(size - total, kMaxTransfer), written);
        total += written;
        if (error != platform::WindowsError::kSuccess || written == 0) break;
    }
    processed_size_ += total;
    if (processed) *processed = static_cast<std::uint32_t>(total);
    return error == platform::WindowsError::kSuccess ? hresult::kOk : FailureFromWindowsError(error);
}

HRESULT OutFileStream::Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* position)
{
    return SeekFile(file_, offset, origin, position);
}

HRESULT OutFileStream::SetSize(std::uint64_t size)
{
    std::uint64_t noted = 0;
    std::uint64_t reached = 0;
    const bool done = file_.Seek(0, platform::SeekOrigin::kCurrent, noted) == platform::WindowsError::kSuccess &&
                      file_.Seek(static_cast<std::int64_t>(size), platform::SeekOrigin::kBegin, reached) ==
                          platform::WindowsError::kSuccess &&
                      reached == size && file_.Truncate(size) == platform::WindowsError::kSuccess &&
                      file_.Seek(static_cast<std::int64_t>(noted), platform::SeekOrigin::kBegin, reached) ==
                          platform::WindowsError::kSuccess;
    return done ? hresult::kOk : hresult::kFail;
}

}  // namespace archive
