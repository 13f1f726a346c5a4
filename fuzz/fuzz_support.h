#pragma once
// What the fuzz targets share: a failed check ends the run as a crash, and
// each target works in a scratch folder of its own.
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace fuzz_support {

inline void Require(bool condition)
{
    if (!condition) std::abort();
}

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A new, empty folder below the system's temporary folder, removed with its
// contents with the object: the targets keep theirs in a static, so at exit.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix)
    {
        std::string folder = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        Require(mkdtemp(folder.data()) != nullptr);
        path_ = folder;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    void Enter() const { Require(chdir(path_.c_str()) == 0); }

private:
    std::filesystem::path path_;
};

}  // namespace fuzz_support
