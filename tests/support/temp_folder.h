#pragma once
// Test fixtures' temporary folders and working directories, on Linux and,
// for the Windows build's tests, on Windows.
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "support/files.h"
#include "support/scoped_environment.h"

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with all its
// contents at the end of the scope.
class TempFolder {
public:
    TempFolder()
    {
        // create_directory reports whether it made the folder, so a name
        // that is taken is never shared.
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = std::filesystem::temp_directory_path() / ("merro-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_)) return;
        }
        throw std::runtime_error("no free temporary folder name");
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder()
    {
        std::error_code ignored;
        // Tests may leave read-only folders (and on Windows read-only files,
        // which it refuses to delete) behind; make them removable first.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (!it->is_symlink(ignored)) {
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
            }
        }
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A temporary folder that is the current directory for the scope, with a
// Wine prefix of its own inside it.
class WorkFolder {
public:
    WorkFolder() : old_(std::filesystem::current_path()), prefix_("WINEPREFIX", (folder_.path() / "prefix").string())
    {
        std::filesystem::current_path(folder_.path());
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    ~WorkFolder() { std::filesystem::current_path(old_); }

    const std::filesystem::path& path() const { return folder_.path(); }
    std::filesystem::path prefix() const { return folder_.path() / "prefix"; }

private:
    TempFolder folder_;
    std::filesystem::path old_;
    ScopedEnvironment prefix_;
};

}  // namespace testing_support
