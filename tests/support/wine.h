#pragma once
// Whether the Windows build's tests run under Wine, for the few behaviours
// Wine does not show as Windows does.
#if defined(_WIN32)
#include <windows.h>
#endif

namespace testing_support {

inline bool RunningUnderWine()
{
#if defined(_WIN32)
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

}  // namespace testing_support
