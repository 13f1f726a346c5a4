#pragma once
// What the fuzz targets share: a failed check ends the run as a crash, and
// each target works in a scratch folder of its own.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz_support {

inline void Require(bool condition)
{
    if (!condition) std::abort();
}

// A new, empty folder below the system's temporary folder.
inline std::filesystem::path MakeScratchFolder(const std::string& prefix)
{
    std::string folder = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    Require(mkdtemp(folder.data()) != nullptr);
    return folder;
}

}  // namespace fuzz_support
