#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/codec/com_ptr.h"
#include "archive/extraction/extract_callback.h"
#include "archive/streams/out_file_stream.h"

namespace archive {

// Turns every extracted item into a file or folder below the output folder.
class FileExtractCallback final : public ExtractCallback {
public:
    // A separator is put at the end of a non-empty output folder.
    FileExtractCallback(const ArchiveHandler& handler, const InputArchive& archive, std::wstring_view archive_path,
                        std::wstring_view output_folder);

    HRESULT GetStream(std::uint32_t index, ISequentialOutStream** stream, std::int32_t ask_extract_mode) override;
    HRESULT SetOperationResult(std::int32_t result) override;

    const std::wstring& OutputFolder() const { return output_folder_; }

private:
    struct ItemRecord {
        FILETIME modification_time{};
        std::uint32_t attributes = 0;
        bool is_folder = false;
        bool attributes_defined = false;
        bool time_defined = false;
    };

    HRESULT OpenItem(std::uint32_t index, ISequentialOutStream** stream, std::int32_t ask_extract_mode);
    // False when the property has a type the item cannot carry.
    bool ReadItemPath(std::uint32_t index);
    bool ReadAttributes(std::uint32_t index);
    bool ReadModificationTime(std::uint32_t index);
    HRESULT OpenOutputFile(ISequentialOutStream** stream);

    std::wstring archive_path_;
    std::wstring output_folder_;
    std::wstring item_path_;
    std::wstring output_path_;
    ItemRecord item_;
    ComPtr<OutFileStream> stream_;
};

}  // namespace archive
