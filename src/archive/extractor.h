#pragma once
#include <cstddef>
#include <string_view>

#include "archive/codec/archive_opener.h"

namespace archive {

// Extracts archives of one format. It must not outlive the library.
class Extractor : public ArchiveOpener {
public:
    Extractor(const CodecLibrary& library, const ArchiveFormat& format);
    ~Extractor() override;

    // At most this many threads extract one archive; at first one per core.
    void SetWorkerCount(std::size_t workers) { workers_ = workers; }

    // Writes every item of the archive below `output_folder`, creating the
    // folders the items need and replacing files of the same name. Throws
    // ArchiveError; items written before a failure stay on disk.
    void ExtractToFolder(std::wstring_view archive_path, std::wstring_view output_folder) const;

private:
    std::size_t workers_;
};

}  // namespace archive
