#include "platform/files/file.h"

namespace platform {

File::~File() { Close(); }

WindowsError File::OpenForReading(std::wstring_view path)
{
    return Open(path, false, CreationDisposition::kOpenExisting);
}

WindowsError File::OpenForWriting(std::wstring_view path, CreationDisposition disposition)
{
    return Open(path, true, disposition);
}

}  // namespace platform
