#include "archive/codec/archive_handler.h"

namespace archive {

ArchiveHandler::ArchiveHandler(const CodecLibrary& library, std::wstring_view password)
    : library_(library), password_(password)
{
}

ArchiveHandler::~ArchiveHandler() = default;

void ArchiveHandler::SetPassword(std::wstring_view password) { password_ = password; }

}  // namespace archive
