#pragma once
// The program's fixed file names, paths and service address.
#include <string>
#include <string_view>

// Working files, opened by relative name against the current directory.
inline constexpr std::wstring_view PackageFileName = L"com.qv.plug.zip";
// A downloaded package until its check moves it over PackageFileName, so an
// unchecked package is never installed.
inline constexpr std::wstring_view UncheckedPackageFileName = L"com.qv.plug.zip.part";
inline constexpr std::wstring_view LocalConfigFileName = L"LocalConfig.json";
inline constexpr std::wstring_view VersionDocFileName = L"config.json";
// The last version document read in full, with its validators, for
// conditional checks; and the waits the sources asked for.
inline constexpr std::wstring_view StoredDocFileName = L"LastUrlConfig.json";
inline constexpr std::wstring_view RetryAfterFileName = L"RetryAfter.json";

// Fallback source of the version document, asked with a plain download.
inline constexpr std::wstring_view VersionServiceUrl =
    L"https://plug.pelvane.com/api/lt/certifyFree/template/qvLtPlugVersions/getPlugAddress";

// The extension platform's folders in the machine's Common Files folder
// (C:/Program Files/Common Files on a standard machine; on Linux that folder
// of the Wine prefix). Illustrator's installation makes the Adobe folder.
std::wstring AdobeDir();
std::wstring CepRootDir();  // ends with a slash
std::wstring CepExtensionsDir();
std::wstring ExtensionDir();

// What every copy on the machine takes before it replaces the extension
// folder or recovers an interrupted replacement: the mutex's name on
// Windows, the lock file's path (in the Adobe folder, which exists before
// the extension platform's folders do) on Linux.
inline constexpr std::wstring_view ExtensionLockName = L"MerroUpdate-com.qv.plug";
std::wstring ExtensionLockFile();
