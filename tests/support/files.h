#pragma once
// Whole files read and written as bytes.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testing_support {

// The whole file; empty when it cannot be read.
inline std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Replaces the file, making the folders above it first; whether all of it
// was written.
inline bool WriteFileBytes(const std::filesystem::path& path, const std::string& content)
{
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    return static_cast<bool>(std::ofstream(path, std::ios::binary | std::ios::trunc) << content);
}

}  // namespace testing_support
