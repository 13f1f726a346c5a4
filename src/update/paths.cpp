#include "update/paths.h"

#include "platform/paths/known_folders.h"

// Under the machine's Common Files folder, wherever the system keeps it.
std::wstring CepRootDir() { return platform::CommonFilesFolder() + L"/Adobe/CEP/"; }

std::wstring CepExtensionsDir() { return platform::CommonFilesFolder() + L"/Adobe/CEP/extensions"; }

std::wstring ExtensionDir() { return platform::CommonFilesFolder() + L"/Adobe/CEP/extensions/com.qv.plug"; }

std::wstring ExtensionLockFile() { return platform::CommonFilesFolder() + L"/Adobe/com.qv.plug.lock"; }
