#include "platform/process/machine_lock.h"

#include "platform/base/windows_api_win.h"

#include <sddl.h>

#include <string>
#include <system_error>

#include "platform/base/text.h"

namespace platform {
namespace {

// Everyone may wait on and release the mutex, so the copy of any user of the
// machine can take it; only its creator and the administrators may change it.
constexpr wchar_t kEveryoneMaySynchronize[] = L"D:(A;;0x001F0001;;;SY)(A;;0x001F0001;;;BA)(A;;0x00100001;;;WD)";

std::string SystemText(DWORD error) { return std::system_category().message(static_cast<int>(error)); }

}  // namespace

MachineLock::MachineLock(std::wstring_view windows_name, std::wstring_view, std::chrono::milliseconds wait)
{
    const std::wstring name = L"Global\\" + std::wstring(windows_name);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kEveryoneMaySynchronize, SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        error_ = "Cannot describe the lock's rights: " + SystemText(::GetLastError());
        return;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE mutex = ::CreateMutexW(&attributes, FALSE, name.c_str());
    if (!mutex && ::GetLastError() == ERROR_ACCESS_DENIED) {
        // Made by another user's copy: open it for waiting and releasing only.
        mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
    }
    const DWORD create_error = ::GetLastError();
    ::LocalFree(descriptor);
    if (!mutex) {
        error_ = "Cannot open the lock " + WideToUtf8(name) + ": " + SystemText(create_error);
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
    const auto milliseconds = static_cast<DWORD>(wait.count() < 0 ? 0 : wait.count());
    // An abandoned mutex is ours: its owner ended without releasing it, and
    // the start-up recovery puts right what it left.
    const DWORD result = ::WaitForSingleObject(mutex, milliseconds);
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    if (result == WAIT_FAILED) error_ = "Cannot take the lock: " + SystemText(::GetLastError());
}

MachineLock::~MachineLock()
{
    if (handle_ == -1) return;
    const auto mutex = reinterpret_cast<HANDLE>(handle_);
    if (held_) ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
}

}  // namespace platform
