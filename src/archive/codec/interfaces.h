#pragma once
// The codec library's interfaces: each one's identifier and its slots in the
// library's order. A slot out of order is a crash at run time.
#include <cstdint>

#include "archive/codec/com.h"

namespace archive {

// NOLINTBEGIN(readability-identifier-naming): the library's own names.

// {23170F69-40C1-278A-0000-00gg00ss0000}: group gg, number ss.
constexpr IID CodecInterfaceId(std::uint8_t group, std::uint8_t number)
{
    return {0x23170F69, 0x40C1, 0x278A, {0x00, 0x00, 0x00, group, 0x00, number, 0x00, 0x00}};
}

struct ISequentialInStream : IUnknown {
    virtual HRESULT Read(void* data, std::uint32_t size, std::uint32_t* processed) = 0;

protected:
    ~ISequentialInStream() = default;
};

struct IInStream : ISequentialInStream {
    static constexpr IID kIid = CodecInterfaceId(0x03, 0x03);
    virtual HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* position) = 0;

protected:
    ~IInStream() = default;
};

struct ISequentialOutStream : IUnknown {
    virtual HRESULT Write(const void* data, std::uint32_t size, std::uint32_t* processed) = 0;

protected:
    ~ISequentialOutStream() = default;
};

struct IOutStream : ISequentialOutStream {
    static constexpr IID kIid = CodecInterfaceId(0x03, 0x04);
    virtual HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* position) = 0;
    virtual HRESULT SetSize(std::uint64_t size) = 0;

protected:
    ~IOutStream() = default;
};

struct IStreamGetSize : IUnknown {
    static constexpr IID kIid = CodecInterfaceId(0x03, 0x06);
    virtual HRESULT GetSize(std::uint64_t* size) = 0;

protected:
    ~IStreamGetSize() = default;
};

struct IStreamGetProps : IUnknown {
    static constexpr IID kIid = CodecInterfaceId(0x03, 0x08);
    virtual HRESULT GetProps(std::uint64_t* size, FILETIME* creation, FILETIME* access, FILETIME* write,
                             std::uint32_t* attributes) = 0;

protected:
    ~IStreamGetProps() = default;
};

struct StreamFileProps {
    std::uint64_t Size;
    std::uint64_t VolumeId;
    std::uint64_t FileIdLow;
    std::uint64_t FileIdHigh;
    std::uint32_t NumLinks;
    std::uint32_t Attributes;
    FILETIME CreationTime;
    FILETIME AccessTime;
    FILETIME WriteTime;
};

struct IStreamGetProps2 : IUnknown {
    static constexpr IID kIid = CodecInterfaceId(0x03, 0x09);
    virtual HRESULT GetProps2(StreamFileProps* props) = 0;

protected:
    ~IStreamGetProps2() = default;
};

struct ICompressProgressInfo : IUnknown {
    static constexpr IID kIid = CodecInterfaceId(0x04, 0x04);
    virtual HRESULT SetRatioInfo(const std::uint64_t* in_size, const std::uint64_t* out_size) = 0;

protected:
    ~ICompressProgressInfo() = default;
};

struct ICryptoGetTextPassword : IUnknown {
    static constexpr IID kIid = CodecInterfaceId(0x05, 0x10);
    virtual HRESULT CryptoGetTextPassword(BSTR* password) = 0;

protected:
    ~ICryptoGetTextPassword() = default;
};

struct ISetProperties : IUnknown {
    static constexpr IID kIid = CodecInterfaceId(0x06, 0x03);
    virtual HRESULT SetProperties(const wchar_t* const* names, const PROPVARIANT* values, std::uint32_t count) = 0;

protected:
    ~ISetProperties() = default;
};

struct IArchiveOpenCallback : IUnknown {
    static constexpr IID kIid = CodecInterfaceId(0x06, 0x10);
    virtual HRESULT SetTotal(const std::uint64_t* files, const std::uint64_t* bytes) = 0;
    virtual HRESULT SetCompleted(const std::uint64_t* files, const std::uint64_t* bytes) = 0;

protected:
    ~IArchiveOpenCallback() = default;
};

struct IProgress : IUnknown {
    virtual HRESULT SetTotal(std::uint64_t total) = 0;
    virtual HRESULT SetCompleted(const std::uint64_t* completed) = 0;

protected:
    ~IProgress() = default;
};

struct IArchiveExtractCallback : IProgress {
    static constexpr IID kIid = CodecInterfaceId(0x06, 0x20);
    virtual HRESULT GetStream(std::uint32_t index, ISequentialOutStream** stream, std::int32_t ask_extract_mode) = 0;
    virtual HRESULT PrepareOperation(std::int32_t ask_extract_mode) = 0;
    virtual HRESULT SetOperationResult(std::int32_t result) = 0;

protected:
    ~IArchiveExtractCallback() = default;
};

struct IArchiveOpenVolumeCallback : IUnknown {
    static constexpr IID kIid = CodecInterfaceId(0x06, 0x30);
    virtual HRESULT GetProperty(PROPID property, PROPVARIANT* value) = 0;
    virtual HRESULT GetStream(const wchar_t* name, IInStream** stream) = 0;

protected:
    ~IArchiveOpenVolumeCallback() = default;
};

struct IArchiveOpenSetSubArchiveName : IUnknown {
    static constexpr IID kIid = CodecInterfaceId(0x06, 0x50);
    virtual HRESULT SetSubArchiveName(const wchar_t* name) = 0;

protected:
    ~IArchiveOpenSetSubArchiveName() = default;
};

struct IInArchive : IUnknown {
    static constexpr IID kIid = CodecInterfaceId(0x06, 0x60);
    virtual HRESULT Open(IInStream* stream, const std::uint64_t* max_check_start_position,
                         IArchiveOpenCallback* callback) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT GetNumberOfItems(std::uint32_t* count) = 0;
    virtual HRESULT GetProperty(std::uint32_t index, PROPID property, PROPVARIANT* value) = 0;
    virtual HRESULT Extract(const std::uint32_t* indices, std::uint32_t count, std::int32_t test_mode,
                            IArchiveExtractCallback* callback) = 0;
    virtual HRESULT GetArchiveProperty(PROPID property, PROPVARIANT* value) = 0;
    virtual HRESULT GetNumberOfProperties(std::uint32_t* count) = 0;
    virtual HRESULT GetPropertyInfo(std::uint32_t index, BSTR* name, PROPID* property, VARTYPE* type) = 0;
    virtual HRESULT GetNumberOfArchiveProperties(std::uint32_t* count) = 0;
    virtual HRESULT GetArchivePropertyInfo(std::uint32_t index, BSTR* name, PROPID* property, VARTYPE* type) = 0;

protected:
    ~IInArchive() = default;
};

// Item and file property numbers.
inline constexpr PROPID kpidPath = 3;
inline constexpr PROPID kpidName = 4;
inline constexpr PROPID kpidIsDir = 6;
inline constexpr PROPID kpidSize = 7;
inline constexpr PROPID kpidAttrib = 9;
inline constexpr PROPID kpidCTime = 10;
inline constexpr PROPID kpidATime = 11;
inline constexpr PROPID kpidMTime = 12;
// Archive property: the kinds of damage found while opening, 0 for none.
inline constexpr PROPID kpidErrorFlags = 71;

// Results of one item's extraction (SetOperationResult).
inline constexpr std::int32_t kOperationOk = 0;
inline constexpr std::int32_t kOperationUnsupportedMethod = 1;
inline constexpr std::int32_t kOperationDataError = 2;
inline constexpr std::int32_t kOperationCrcError = 3;

inline constexpr std::int32_t kAskExtract = 0;

// NOLINTEND(readability-identifier-naming)

}  // namespace archive
