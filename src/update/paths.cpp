#include "update/paths.h"

#include "platform/paths/known_folders.h"

// Under the machine's Common Files folder, wherever the system keeps it.
std::wstring AdobeDir() { return platform::CommonFilesFolder() + L"/Adobe"; }

std::wstring CepRootDir() { return AdobeDir() + L"/CEP/"; }

std::wstring CepExtensionsDir() { return AdobeDir() + L"/CEP/extensions"; }

std::wstring ExtensionDir() { return AdobeDir() + L"/CEP/extensions/com.qv.plug"; }

std::wstring StagingDir() { return AdobeDir() + L"/CEP/com.qv.plug.new"; }

std::wstring ExtensionLockFile() { return AdobeDir() + L"/com.qv.plug.lock"; }
