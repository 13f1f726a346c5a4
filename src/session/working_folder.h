#pragma once
// The user's working folder, made at the first login from the defaults the
// packages install for every user.
#include <filesystem>

// The files a working folder starts with, and the one whose presence says
// the folder is complete.
inline constexpr const char* kDeliveredPackageName = "com.qv.plug.zip";
inline constexpr const char* kConfigurationName = "LocalConfig.json";

// Creates `folder` from `defaults` when it holds no LocalConfig.json yet:
// the package first, then the configuration, each copied under a temporary
// name and renamed, so a folder with a LocalConfig.json is always complete
// and a login interrupted half-way starts over at the next one. An existing
// LocalConfig.json, and so everything an earlier run wrote, is never
// touched. True when it made the folder; raises the file system's error.
bool PrepareWorkingFolder(const std::filesystem::path& defaults, const std::filesystem::path& folder);
