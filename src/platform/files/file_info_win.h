#pragma once
// FileInfo from the system's descriptions of a file, which share their
// attribute, time and size fields.
#include "platform/base/windows_api_win.h"
#include "platform/files/file_info.h"

namespace platform {

template <class Native>
FileInfo FileInfoFrom(const Native& native)
{
    FileInfo info;
    info.attributes = native.dwFileAttributes;
    info.creation_time = FileTimeTicks(native.ftCreationTime);
    info.access_time = FileTimeTicks(native.ftLastAccessTime);
    info.write_time = FileTimeTicks(native.ftLastWriteTime);
    info.size = (std::uint64_t{native.nFileSizeHigh} << 32) | native.nFileSizeLow;
    return info;
}

}  // namespace platform
