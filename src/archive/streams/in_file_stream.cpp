#include "archive/streams/in_file_stream.h"

#include <algorithm>

#include "archive/archive_error.h"
#include "archive/streams/file_stream_support.h"

namespace archive {

platform::WindowsError InFileStream::Open(std::wstring_view path)
{
    const platform::WindowsError closed = file_.Close();
    return closed == platform::WindowsError::kSuccess ? file_.OpenForReading(path) : closed;
}

HRESULT InFileStream::Read(void* data, std::uint32_t size, std::uint32_t* processed)
{
    std::size_t read = 0;
    const platform::WindowsError error = file_.Read(data, std::min<std::size_t>(size, kMaxTransfer), read);
    if (processed) *processed = static_cast<std::uint32_t>(read);
    return error == platform::WindowsError::kSuccess ? hresult::kOk : FailureFromWindowsError(error);
}

HRESULT InFileStream::Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* position)
{
    return SeekFile(file_, offset, origin, position);
}

HRESULT InFileStream::GetSize(std::uint64_t* size)
{
    platform::FileInfo info;
    const platform::WindowsError error = file_.Info(info);
    if (error != platform::WindowsError::kSuccess) return FailureFromWindowsError(error);
    *size = info.size;
    return hresult::kOk;
}

HRESULT InFileStream::GetProps(std::uint64_t* size, FILETIME* creation, FILETIME* access, FILETIME* write,
                               std::uint32_t* attributes)
{
    platform::FileInfo info;
    const platform::WindowsError error = file_.Info(info);
    if (error != platform::WindowsError::kSuccess) return FailureFromWindowsError(error);
    if (size) *size = info.size;
    if (creation) *creation = FileTimeFromTicks(info.creation_time);
    if (access) *access = FileTimeFromTicks(info.access_time);
    if (write) *write = FileTimeFromTicks(info.write_time);
    if (attributes) *attributes = info.attributes;
    return hresult::kOk;
}

HRESULT InFileStream::GetProps2(StreamFileProps* props)
{
    platform::FileInfo info;
    const platform::WindowsError error = file_.Info(info);
    if (error != platform::WindowsError::kSuccess) return FailureFromWindowsError(error);
    props->Size = info.size;
    props->VolumeId = info.volume;
    props->FileIdLow = info.index;
    props->FileIdHigh = 0;
    // Hard links are not reported, so the library treats every file as its own.
    props->NumLinks = 1;
    props->Attributes = info.attributes;
    props->CreationTime = FileTimeFromTicks(info.creation_time);
    props->AccessTime = FileTimeFromTicks(info.access_time);
    props->WriteTime = FileTimeFromTicks(info.write_time);
    return hresult::kOk;
}

}  // namespace archive
