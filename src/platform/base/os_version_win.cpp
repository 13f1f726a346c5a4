#include "platform/base/os_version.h"

#include "platform/base/windows_api_win.h"

namespace platform {

// RtlGetVersion, unlike GetVersionEx, is not capped by the manifest's
// compatibility list.
std::uint32_t WindowsMajorVersion()
{
    using RtlGetVersionEntry = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return 0;
    const auto entry =
        reinterpret_cast<RtlGetVersionEntry>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    if (!entry) return 0;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    return entry(&version) == 0 ? version.dwMajorVersion : 0;
}

}  // namespace platform
