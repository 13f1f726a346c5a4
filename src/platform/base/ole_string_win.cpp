#include "platform/base/ole_string.h"

#include <windows.h>

#include <oleauto.h>

// The codec DLL allocates and frees its strings with oleaut32, so ours must
// too: mixing two heaps corrupts them.
namespace platform {

wchar_t* SysAllocString(const wchar_t* text) { return ::SysAllocString(text); }

wchar_t* SysAllocStringLen(const wchar_t* text, std::uint32_t length) { return ::SysAllocStringLen(text, length); }

void SysFreeString(wchar_t* text) { ::SysFreeString(text); }

std::uint32_t SysStringLen(const wchar_t* text) { return ::SysStringLen(const_cast<BSTR>(text)); }

}  // namespace platform
