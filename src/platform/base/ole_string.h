#pragma once
// OLE strings (BSTR) as the codec library allocates and frees them: a block
// holding the byte length (32 bits), the characters and a NUL, the string
// pointing after the length. Strings cross the library boundary both ways, so
// ours must come from the same allocator as the library's.
#include <cstdint>

namespace platform {

wchar_t* SysAllocString(const wchar_t* text);
wchar_t* SysAllocStringLen(const wchar_t* text, std::uint32_t length);
void SysFreeString(wchar_t* text);
std::uint32_t SysStringLen(const wchar_t* text);

}  // namespace platform
