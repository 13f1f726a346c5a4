#include "archive/codec/archive_opener.h"

namespace archive {

ArchiveOpener::ArchiveOpener(const CodecLibrary& library, const ArchiveFormat& format, std::wstring_view password)
    : ArchiveHandler(library, password), format_(format)
{
}

ArchiveOpener::~ArchiveOpener() = default;

}  // namespace archive
