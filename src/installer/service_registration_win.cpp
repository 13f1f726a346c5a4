#include "installer/service_registration.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <type_traits>

#include "update/paths.h"

namespace {

// A stop waits for an update run under way, whose downloads have deadlines.
constexpr auto kStateWait = std::chrono::seconds(90);
constexpr auto kProcessExitWait = std::chrono::milliseconds(30'000);
// After a failure: restarted after a minute, twice; the failure count is
// forgotten after a day.
constexpr DWORD kRestartDelayMs = 60'000;
constexpr DWORD kFailureResetSeconds = 24 * 60 * 60;

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const
    {
        if (handle) ::CloseServiceHandle(handle);
    }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

[[noreturn]] void Fail(const std::string& what, DWORD error)
{
    throw std::runtime_error(what + ": " + std::system_category().message(static_cast<int>(error)));
}

ServiceHandle OpenManager()
{
    ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) Fail("Cannot open the service manager", ::GetLastError());
    return manager;
}

// Null when no such service is registered.
ServiceHandle OpenOurService(const ServiceHandle& manager, DWORD access)
{
    ServiceHandle service(::OpenServiceW(manager.get(), std::wstring(ServiceName).c_str(), access));
    if (!service && ::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) Fail("Cannot open the service", ::GetLastError());
    return service;
}

SERVICE_STATUS_PROCESS CurrentStatus(const ServiceHandle& service)
{
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                &needed)) {
        Fail("Cannot ask the service's state", ::GetLastError());
    }
    return status;
}

DWORD CurrentState(const ServiceHandle& service) { return CurrentStatus(service).dwCurrentState; }

void AwaitState(const ServiceHandle& service, DWORD wanted, const char* what)
{
    const auto deadline = std::chrono::steady_clock::now() + kStateWait;
    while (CurrentState(service) != wanted) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error(std::string("The service did not ") + what);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
}

// A system that knows no such setting (Wine has no delayed start) keeps the
// plain automatic start: said, not a failure.
void ChangeSetting(const ServiceHandle& service, DWORD level, void* setting, const char* what)
{
    if (::ChangeServiceConfig2W(service.get(), level, setting)) return;
    const DWORD error = ::GetLastError();
    if (error != ERROR_INVALID_LEVEL) Fail(std::string("Cannot set ") + what, error);
    std::printf("This system has no %s for services: left as it is\n", what);
}

void Configure(const ServiceHandle& service)
{
    SERVICE_DELAYED_AUTO_START_INFO delayed{TRUE};
    ChangeSetting(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed, "the delayed start");
    SC_ACTION restart[] = {
        {SC_ACTION_RESTART, kRestartDelayMs}, {SC_ACTION_RESTART, kRestartDelayMs}, {SC_ACTION_NONE, 0}};
    SERVICE_FAILURE_ACTIONSW failure{kFailureResetSeconds, nullptr, nullptr, 3, restart};
    ChangeSetting(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure, "the restart after a failure");
}

}  // namespace

void RegisterService(const std::wstring& program)
{
    const ServiceHandle manager = OpenManager();
    const std::wstring command = L"\"" + program + L"\"";
    const std::wstring display(ServiceDisplayName);
    ServiceHandle service = OpenOurService(manager, SERVICE_ALL_ACCESS);
    if (service) {
        if (!::ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                    command.c_str(), nullptr, nullptr, nullptr, L"LocalSystem", L"", display.c_str())) {
            Fail("Cannot change the service's registration", ::GetLastError());
        }
    } else {
        service.reset(::CreateServiceW(manager.get(), std::wstring(ServiceName).c_str(), display.c_str(),
                                       SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                       SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr, nullptr,
                                       nullptr));
        if (!service) Fail("Cannot register the service", ::GetLastError());
    }
    Configure(service);
}

void StartRegisteredService()
{
    const ServiceHandle manager = OpenManager();
    const ServiceHandle service = OpenOurService(manager, SERVICE_START | SERVICE_QUERY_STATUS);
    if (!service) throw std::runtime_error("The service is not registered");
    if (!::StartServiceW(service.get(), 0, nullptr) && ::GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        Fail("Cannot start the service", ::GetLastError());
    }
    AwaitState(service, SERVICE_RUNNING, "start");
}

bool StopRegisteredService()
{
    const ServiceHandle manager = OpenManager();
    const ServiceHandle service = OpenOurService(manager, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (!service) return false;
    const SERVICE_STATUS_PROCESS before = CurrentStatus(service);
    if (before.dwCurrentState == SERVICE_STOPPED) return true;
    // Its program file is replaced or removed next: wait for the process
    // itself, which ends a moment after reporting that it stopped.
    const std::unique_ptr<void, decltype(&::CloseHandle)> process(::OpenProcess(SYNCHRONIZE, FALSE, before.dwProcessId),
                                                                  ::CloseHandle);
    SERVICE_STATUS status{};
    if (!::ControlService(service.get(), SERVICE_CONTROL_STOP, &status) &&
        ::GetLastError() != ERROR_SERVICE_NOT_ACTIVE) {
        Fail("Cannot stop the service", ::GetLastError());
    }
    AwaitState(service, SERVICE_STOPPED, "stop");
    if (process) ::WaitForSingleObject(process.get(), static_cast<DWORD>(kProcessExitWait.count()));
    return true;
}

bool RemoveRegisteredService()
{
    if (!StopRegisteredService()) return false;
    const ServiceHandle manager = OpenManager();
    const ServiceHandle service = OpenOurService(manager, DELETE);
    if (!service) return false;
    if (!::DeleteService(service.get()) && ::GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
        Fail("Cannot delete the service", ::GetLastError());
    }
    return true;
}
