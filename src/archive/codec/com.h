#pragma once
// The COM-style binary interface of the codec library, declared here for
// every platform: the library uses wchar_t strings (4 bytes on Linux, 2 on
// Windows), 32-bit HRESULTs and an IUnknown without a virtual destructor.
#include <cstdint>

#include "platform/base/hresult.h"
#include "platform/base/ole_string.h"

namespace archive {

// NOLINTBEGIN(readability-identifier-naming): the library's own names.

using HRESULT = platform::HResult;
using ULONG = std::uint32_t;
using PROPID = std::uint32_t;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using BSTR = wchar_t*;

namespace hresult = platform::hresult;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;

constexpr bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i]) return false;
    }
    return true;
}

struct FILETIME {
    std::uint32_t dwLowDateTime;
    std::uint32_t dwHighDateTime;
};

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_I1 = 16;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_UI2 = 18;
inline constexpr VARTYPE VT_UI4 = 19;
inline constexpr VARTYPE VT_I8 = 20;
inline constexpr VARTYPE VT_UI8 = 21;
inline constexpr VARTYPE VT_INT = 22;
inline constexpr VARTYPE VT_UINT = 23;
inline constexpr VARTYPE VT_FILETIME = 64;

inline constexpr VARIANT_BOOL kVariantTrue = -1;
inline constexpr VARIANT_BOOL kVariantFalse = 0;

struct PROPVARIANT {
    VARTYPE vt;
    std::uint16_t wReserved1;
    std::uint16_t wReserved2;
    std::uint16_t wReserved3;
    union {
        std::int8_t cVal;
        std::uint8_t bVal;
        std::int16_t iVal;
        std::uint16_t uiVal;
        std::int32_t lVal;
        std::uint32_t ulVal;
        std::int32_t intVal;
        std::uint32_t uintVal;
        std::int64_t hVal;
        std::uint64_t uhVal;
        VARIANT_BOOL boolVal;
        FILETIME filetime;
        BSTR bstrVal;
#if defined(_WIN64)
        // Windows' union also holds counted arrays (a count and a pointer).
        std::uint8_t counted_array[16];
#endif
    };
};
#if defined(_WIN64)
static_assert(sizeof(PROPVARIANT) == 24, "Windows' PROPVARIANT is 24 bytes");
#else
static_assert(sizeof(PROPVARIANT) == 16, "the codec library's PROPVARIANT is 16 bytes");
#endif

struct IUnknown {
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    // No virtual destructor: the library's tables hold only the slots above.
    ~IUnknown() = default;
};

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// OLE strings cross the library boundary both ways, so they come from the
// allocator the library frees them with.
using platform::SysAllocString;
using platform::SysAllocStringLen;
using platform::SysFreeString;
using platform::SysStringLen;

// NOLINTEND(readability-identifier-naming)

}  // namespace archive
