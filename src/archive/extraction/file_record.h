#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/codec/com.h"
#include "platform/files/file_info.h"

namespace archive {

// What the file system tells about one path, read once.
class FileRecord {
public:
    // Throws "Invalid path '<path>'!" when nothing is found at the path.
    explicit FileRecord(std::wstring_view path);

    const std::wstring& Path() const { return path_; }
    const std::wstring& Name() const { return info_.name; }
    bool IsFolder() const { return (info_.attributes & platform::kAttributeDirectory) != 0; }
    std::uint64_t Size() const { return info_.size; }
    std::uint32_t Attributes() const { return info_.attributes; }
    FILETIME CreationTime() const;
    FILETIME AccessTime() const;
    FILETIME WriteTime() const;

private:
    std::wstring path_;
    platform::FileInfo info_;
};

}  // namespace archive
