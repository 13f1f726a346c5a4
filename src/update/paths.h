#pragma once
// The program's fixed file names, paths and service address.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Working files, opened by relative name against the current directory.
inline constexpr std::wstring_view PackageFileName = L"com.qv.plug.zip";
// A downloaded package until its check moves it over PackageFileName, so an
// unchecked package is never installed.
inline constexpr std::wstring_view UncheckedPackageFileName = L"com.qv.plug.zip.part";
inline constexpr std::wstring_view LocalConfigFileName = L"LocalConfig.json";
inline constexpr std::wstring_view VersionDocFileName = L"config.json";
// Present, and durable, from before the extension folder is moved aside
// until the replacement is over: the start-up recovery restores only a
// set-aside folder this file vouches for.
inline constexpr std::wstring_view SetAsideRecordFileName = L"com.qv.plug.set-aside";
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

// The Windows service that alone writes the extension where it is installed,
// its working folder in the machine's data folder (ProgramData), and the
// machine-wide event it sets after each change it records (Global\ on Windows).
inline constexpr std::wstring_view ServiceName = L"MerroUpdate";
inline constexpr std::wstring_view ServiceDisplayName = L"MerroUpdate Service";
inline constexpr std::wstring_view ChangeEventName = L"MerroUpdate-change";
// Empty where the system has no machine data folder (Linux).
std::wstring ServiceFolder();
// The service's folder when the service is registered and its folder
// exists; nullopt without the service (a copy run by hand before the setup
// program, a portable copy, Linux), where the program does the work itself.
std::optional<std::filesystem::path> InstalledServiceFolder();

// What every copy on the machine takes before it replaces the extension
// folder or recovers an interrupted replacement: the mutex's name on
// Windows, the lock file's path (in the Adobe folder, which exists before
// the extension platform's folders do) on Linux.
inline constexpr std::wstring_view ExtensionLockName = L"MerroUpdate-com.qv.plug";
std::wstring ExtensionLockFile();

// The new extension folder while the package is extracted into it: in the
// extension platform's root folder beside the extensions folder, so the
// host application never loads it half made.
std::wstring StagingDir();
