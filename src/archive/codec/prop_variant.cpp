#include "archive/codec/prop_variant.h"

#include "archive/archive_error.h"

namespace archive {
namespace {

void ClearVariant(PROPVARIANT& variant)
{
    if (variant.vt == VT_BSTR) SysFreeString(variant.bstrVal);
    variant.vt = VT_EMPTY;
    variant.wReserved1 = variant.wReserved2 = variant.wReserved3 = 0;
    variant.uhVal = 0;
}

// Clears `target`, then moves the type and value of `source` into it.
void MoveVariant(PROPVARIANT& source, PROPVARIANT& target)
{
    ClearVariant(target);
    target.vt = source.vt;
    target.uhVal = source.uhVal;
    source.vt = VT_EMPTY;
    source.uhVal = 0;
}

}  // namespace

PropVariant::PropVariant() : PROPVARIANT{} { vt = VT_EMPTY; }

PropVariant::PropVariant(std::wstring_view text) : PropVariant()
{
    bstrVal = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
    if (!bstrVal) throw ArchiveError("Could not allocate memory for PropVariant string", hresult::kFail);
    vt = VT_BSTR;
}

PropVariant::PropVariant(bool value) : PropVariant()
{
    vt = VT_BOOL;
    boolVal = value ? kVariantTrue : kVariantFalse;
}

PropVariant::PropVariant(std::uint32_t value) : PropVariant()
{
    vt = VT_UI4;
    ulVal = value;
}

PropVariant::PropVariant(std::uint64_t value) : PropVariant()
{
    vt = VT_UI8;
    uhVal = value;
}

PropVariant::PropVariant(FILETIME value) : PropVariant()
{
    vt = VT_FILETIME;
    filetime = value;
}

PropVariant::PropVariant(PropVariant&& other) noexcept : PropVariant() { MoveVariant(other, *this); }

PropVariant& PropVariant::operator=(PropVariant&& other) noexcept
{
    if (this != &other) MoveVariant(other, *this);
    return *this;
}

PropVariant::~PropVariant() { Clear(); }

PropKind PropVariant::Kind() const
{
    switch (vt) {
    case VT_EMPTY: return PropKind::kEmpty;
    case VT_BOOL: return PropKind::kBool;
    case VT_BSTR: return PropKind::kString;
    case VT_UI1: return PropKind::kUInt8;
    case VT_UI2: return PropKind::kUInt16;
    case VT_UI4:
    case VT_UINT: return PropKind::kUInt32;
    case VT_UI8: return PropKind::kUInt64;
    case VT_I1: return PropKind::kInt8;
    case VT_I2: return PropKind::kInt16;
    case VT_I4:
    case VT_INT: return PropKind::kInt32;
    case VT_I8: return PropKind::kInt64;
    case VT_FILETIME: return PropKind::kFileTime;
    default: throw ArchiveError("Property type not supported", hresult::kInvalidArgument);
    }
}

bool PropVariant::IsUInt32() const { return vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_UINT; }

bool PropVariant::GetBool() const
{
    if (vt != VT_BOOL) throw ArchiveError("PropVariant is not a bool", hresult::kFail);
    return boolVal != 0;
}

std::wstring PropVariant::GetString() const
{
    if (vt != VT_BSTR) throw ArchiveError("PropVariant is not a string", hresult::kFail);
    if (!bstrVal) return {};
    return {bstrVal, SysStringLen(bstrVal)};
}

std::uint32_t PropVariant::GetUInt32() const
{
    switch (vt) {
    case VT_UI1: return bVal;
    case VT_UI2: return uiVal;
    case VT_UI4: return ulVal;
    case VT_UINT: return uintVal;
    default: throw ArchiveError("PropVariant is not a 32-bits unsigned integer", hresult::kFail);
    }
}

FILETIME PropVariant::GetFileTime() const
{
    if (vt != VT_FILETIME) throw ArchiveError("PropVariant is not a FILETIME", hresult::kFail);
    return filetime;
}

void PropVariant::Clear() { ClearVariant(*this); }

void PropVariant::MoveTo(PROPVARIANT& target) { MoveVariant(*this, target); }

}  // namespace archive
