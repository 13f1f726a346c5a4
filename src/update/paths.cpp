#include "update/paths.h"

#include "platform/paths/drive_mapping.h"

std::wstring CepRootDir() { return platform::MapDrivePath(L"C:/Program Files/Common Files/Adobe/CEP/"); }

std::wstring CepExtensionsDir()
{
    return platform::MapDrivePath(L"C:/Program Files/Common Files/Adobe/CEP/extensions");
}

std::wstring ExtensionDir()
{
    return platform::MapDrivePath(L"C:/Program Files/Common Files/Adobe/CEP/extensions/com.qv.plug");
}
