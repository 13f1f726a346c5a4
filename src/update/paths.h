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

// Fallback source of the version document, asked with a plain download.
inline constexpr std::wstring_view VersionServiceUrl =
    L"https://plug.pelvane.com/api/lt/certifyFree/template/qvLtPlugVersions/getPlugAddress";

// The extension platform's folders on drive C:, mapped to where that drive
// lives on this system. Each is stored whole; nothing joins them from pieces.
std::wstring CepRootDir();  // ends with a slash
std::wstring CepExtensionsDir();
std::wstring ExtensionDir();
