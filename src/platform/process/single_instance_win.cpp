#include "platform/process/single_instance.h"

#include "platform/base/text.h"
#include "platform/base/windows_api_win.h"

namespace platform {

// A named mutex in the global namespace: the system releases it when the
// process ends, however it ends. A copy that cannot open another session's
// or user's mutex (access denied) goes on as if none ran.
InstanceGuard::InstanceGuard(std::string_view name)
{
    const std::wstring wide_name = L"Global\\" + Utf8ToWide(name);
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, wide_name.c_str());
    const DWORD error = ::GetLastError();
    if (!mutex) return;
    if (error == ERROR_ALREADY_EXISTS) {
        another_copy_runs_ = true;
        ::CloseHandle(mutex);
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
}

InstanceGuard::~InstanceGuard()
{
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace platform
