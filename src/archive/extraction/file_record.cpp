#include "archive/extraction/file_record.h"

#include "archive/archive_error.h"
#include "archive/extraction/file_operations.h"
#include "archive/streams/file_stream_support.h"
#include "platform/files/file_system.h"

namespace archive {

FileRecord::FileRecord(std::wstring_view path) : path_(path)
{
    if (path_.size() > 1 && platform::IsPathSeparator(path_.back())) {
        platform::FileInfo folder;
        if (FindEntry(path_, folder) && (folder.attributes & platform::kAttributeDirectory)) path_.pop_back();
    }
    const platform::WindowsError error = platform::FindFile(path_, info_);
    if (error != platform::WindowsError::kSuccess) throw ArchiveError(L"Invalid path '" + path_ + L"'!", error);
}

FILETIME FileRecord::CreationTime() const { return FileTimeFromTicks(info_.creation_time); }
FILETIME FileRecord::AccessTime() const { return FileTimeFromTicks(info_.access_time); }
FILETIME FileRecord::WriteTime() const { return FileTimeFromTicks(info_.write_time); }

}  // namespace archive
