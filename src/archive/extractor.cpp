#include "archive/extractor.h"

#include "archive/com_ptr.h"
#include "archive/file_extract_callback.h"
#include "archive/input_archive.h"

namespace archive {

Extractor::Extractor(const CodecLibrary& library, const ArchiveFormat& format) : ArchiveOpener(library, format, L"") {}

Extractor::~Extractor() = default;

void Extractor::ExtractToFolder(std::wstring_view archive_path, std::wstring_view output_folder) const
{
    InputArchive archive(*this, archive_path);
    ComPtr<FileExtractCallback> callback(new FileExtractCallback(*this, archive, archive_path, output_folder));
    archive.Extract({}, *callback);
}

}  // namespace archive
