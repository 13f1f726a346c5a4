#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "archive/codec/archive_handler.h"
#include "archive/codec/com_ptr.h"
#include "archive/codec/interfaces.h"
#include "archive/codec/prop_variant.h"

namespace archive {

class ExtractCallback;

// One archive opened by the codec library.
class InputArchive {
public:
    // Opens the archive file with the handler's format, or throws.
    InputArchive(const ArchiveHandler& handler, std::wstring_view archive_path);
    InputArchive(const InputArchive&) = delete;
    InputArchive& operator=(const InputArchive&) = delete;
    virtual ~InputArchive() = default;

    const ArchiveFormat& Format() const { return format_; }
    std::uint32_t ItemCount() const;

    // Extracts the items at `indices`, every item when it is empty. Throws the
    // callback's error message with the library's result.
    void Extract(const std::vector<std::uint32_t>& indices, ExtractCallback& callback) const;

    PropVariant ItemProperty(std::uint32_t index, PROPID property) const;
    bool ItemIsFolder(std::uint32_t index) const;

private:
    ComPtr<IInArchive> archive_;
    const ArchiveFormat& format_;
};

}  // namespace archive
