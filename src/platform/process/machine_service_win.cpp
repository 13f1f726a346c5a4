#include "platform/process/machine_service.h"

#include "platform/base/windows_api_win.h"

#include <sddl.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>

namespace platform {
namespace {

// SYSTEM and the administrators may do anything with it, interactive users
// only wait (SYNCHRONIZE): domain users are members of Users, so Users is
// not the group to give even that.
constexpr wchar_t kUsersMayOnlyWait[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100000;;;IU)";

std::wstring GlobalName(std::wstring_view name) { return L"Global\\" + std::wstring(name); }

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const
    {
        if (handle) ::CloseServiceHandle(handle);
    }
};
using UniqueServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

void CALLBACK OnEventSet(void* context, BOOLEAN) { (*static_cast<const std::function<void()>*>(context))(); }

}  // namespace

bool IsServiceRegistered(std::wstring_view name)
{
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    // Interactive users may query every service by default.
    const UniqueServiceHandle service(::OpenServiceW(manager.get(), std::wstring(name).c_str(), SERVICE_QUERY_STATUS));
    return service != nullptr;
}

ChangeEvent::ChangeEvent(std::wstring_view name)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kUsersMayOnlyWait, SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        return;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    // Manual reset: one setting releases every user's waiting program.
    handle_ = reinterpret_cast<std::intptr_t>(::CreateEventW(&attributes, TRUE, FALSE, GlobalName(name).c_str()));
    ::LocalFree(descriptor);
}

ChangeEvent::~ChangeEvent()
{
    if (handle_) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

void ChangeEvent::Pulse()
{
    if (!handle_) return;
    ::SetEvent(reinterpret_cast<HANDLE>(handle_));
    ::ResetEvent(reinterpret_cast<HANDLE>(handle_));
}

ChangeEventWatch::ChangeEventWatch(std::wstring_view name, std::function<void()> on_set) : on_set_(std::move(on_set))
{
    HANDLE event = ::OpenEventW(SYNCHRONIZE, FALSE, GlobalName(name).c_str());
    if (!event) return;
    HANDLE wait = nullptr;
    if (!::RegisterWaitForSingleObject(&wait, event, OnEventSet, &on_set_, INFINITE, WT_EXECUTEDEFAULT)) {
        ::CloseHandle(event);
        return;
    }
    event_ = reinterpret_cast<std::intptr_t>(event);
    wait_ = reinterpret_cast<std::intptr_t>(wait);
}

ChangeEventWatch::~ChangeEventWatch()
{
    if (!wait_) return;
    // Waits for a callback under way, which uses on_set_.
    ::UnregisterWaitEx(reinterpret_cast<HANDLE>(wait_), INVALID_HANDLE_VALUE);
    ::CloseHandle(reinterpret_cast<HANDLE>(event_));
}

}  // namespace platform
