#pragma once
#include <string_view>

#include "archive/codec/archive_handler.h"

namespace archive {

// A handler bound to one archive format.
class ArchiveOpener : public ArchiveHandler {
public:
    const ArchiveFormat& Format() const override { return format_; }
    ~ArchiveOpener() override = 0;

protected:
    ArchiveOpener(const CodecLibrary& library, const ArchiveFormat& format, std::wstring_view password);

private:
    const ArchiveFormat& format_;
};

}  // namespace archive
