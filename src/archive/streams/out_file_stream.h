#pragma once
#include <cstdint>
#include <string_view>

#include "archive/codec/interfaces.h"
#include "archive/codec/ref_counted.h"
#include "platform/files/file.h"

namespace archive {

// One extracted file, written by the codec library.
class OutFileStream final : public RefCounted<IOutStream> {
public:
    // Closes any open file first; false when that or the opening fails.
    bool Open(std::wstring_view path, platform::CreationDisposition disposition);
    // The Windows error of a failed close; closing a closed stream succeeds.
    HRESULT Close();
    bool SetModificationTime(FILETIME time);
    std::uint64_t ProcessedSize() const { return processed_size_; }

    HRESULT QueryInterface(const IID& iid, void** object) override { return Answer<IOutStream>(iid, object); }
    HRESULT Write(const void* data, std::uint32_t size, std::uint32_t* processed) override;
    HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* position) override;
    HRESULT SetSize(std::uint64_t size) override;

private:
    platform::File file_;
    std::uint64_t processed_size_ = 0;
};

}  // namespace archive
