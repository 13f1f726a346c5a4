#include "update/paths.h"

#include <system_error>

#include "platform/paths/known_folders.h"
#include "platform/paths/native_path.h"
#include "platform/process/machine_service.h"

// Under the machine's Common Files folder, wherever the system keeps it.
std::wstring AdobeDir() { return platform::CommonFilesFolder() + L"/Adobe"; }

std::wstring CepRootDir() { return AdobeDir() + L"/CEP/"; }

std::wstring CepExtensionsDir() { return AdobeDir() + L"/CEP/extensions"; }

std::wstring ExtensionDir() { return AdobeDir() + L"/CEP/extensions/com.qv.plug"; }

std::wstring StagingDir() { return AdobeDir() + L"/CEP/com.qv.plug.new"; }

std::wstring ExtensionLockFile() { return AdobeDir() + L"/com.qv.plug.lock"; }

std::wstring ServiceFolder()
{
    const std::wstring machine_data = platform::MachineDataFolder();
    return machine_data.empty() ? machine_data : machine_data + L"\\" + std::wstring(ServiceName);
}

std::optional<std::filesystem::path> InstalledServiceFolder()
{
    const std::wstring folder = ServiceFolder();
    std::error_code unknown;
    if (folder.empty() || !platform::IsServiceRegistered(ServiceName) ||
        !std::filesystem::is_directory(platform::NativePath(folder), unknown)) {
        return std::nullopt;
    }
    return platform::NativePath(folder);
}
