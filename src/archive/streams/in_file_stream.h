#pragma once
#include <string_view>

#include "archive/codec/interfaces.h"
#include "archive/codec/ref_counted.h"
#include "platform/files/file.h"

namespace archive {

// The archive file, read by the codec library.
class InFileStream final : public RefCounted<IInStream, IStreamGetSize, IStreamGetProps, IStreamGetProps2> {
public:
    // Closes any open file first; fails when that or the opening fails.
    platform::WindowsError Open(std::wstring_view path);

    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        return Answer<IInStream, IStreamGetSize, IStreamGetProps, IStreamGetProps2>(iid, object);
    }
    HRESULT Read(void* data, std::uint32_t size, std::uint32_t* processed) override;
    HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* position) override;
    HRESULT GetSize(std::uint64_t* size) override;
    HRESULT GetProps(std::uint64_t* size, FILETIME* creation, FILETIME* access, FILETIME* write,
                     std::uint32_t* attributes) override;
    HRESULT GetProps2(StreamFileProps* props) override;

private:
    platform::File file_;
};

}  // namespace archive
