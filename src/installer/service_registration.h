#pragma once
// The MerroUpdate service in the service manager: registered, started,
// stopped and removed by the setup program and its uninstaller.
#include <string>

// Registers the service, or updates its registration, to run `program` as
// LocalSystem, started automatically after the other automatic services
// (delayed) and restarted by the manager after a failure.
void RegisterService(const std::wstring& program);

// Starts the service and waits until it runs.
void StartRegisteredService();

// Stops the service, waiting until its process has ended. False when no
// such service is registered.
bool StopRegisteredService();

// Stops and deletes the service. False when none is registered.
bool RemoveRegisteredService();
