#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/codec/com.h"

namespace archive {

enum class PropKind {
    kEmpty = 0,
    kBool = 1,
    kString = 2,
    kUInt8 = 3,
    kUInt16 = 4,
    kUInt32 = 5,
    kUInt64 = 6,
    kInt8 = 7,
    kInt16 = 8,
    kInt32 = 9,
    kInt64 = 10,
    kFileTime = 11,
};

// A property value exchanged with the codec library. It owns its OLE string.
class PropVariant : public PROPVARIANT {
public:
    PropVariant();
    explicit PropVariant(std::wstring_view text);
    explicit PropVariant(bool value);
    explicit PropVariant(std::uint32_t value);
    explicit PropVariant(std::uint64_t value);
    explicit PropVariant(FILETIME value);
    PropVariant(PropVariant&& other) noexcept;
    PropVariant& operator=(PropVariant&& other) noexcept;
    PropVariant(const PropVariant&) = delete;
    PropVariant& operator=(const PropVariant&) = delete;
    ~PropVariant();

    // Throws "Property type not supported" for a type outside the table.
    PropKind Kind() const;
    bool IsEmpty() const { return vt == VT_EMPTY; }
    bool IsString() const { return vt == VT_BSTR; }
    bool IsUInt32() const;

    bool GetBool() const;
    std::wstring GetString() const;
    std::uint32_t GetUInt32() const;
    FILETIME GetFileTime() const;

    void Clear();
    // Hands the value to a variant owned by the codec library, which then
    // owns any string; this one is left empty.
    void MoveTo(PROPVARIANT& target);
};

}  // namespace archive
