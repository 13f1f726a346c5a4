#pragma once
// Everything below a folder, but for the subtrees a test lets change: each
// entry's kind and, for files and links, its content.
#include <algorithm>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace testing_support {

class TreeSnapshot {
public:
    // No folder at all.
    TreeSnapshot() = default;
    TreeSnapshot(const std::filesystem::path& root, std::vector<std::filesystem::path> excluded)
    {
        namespace fs = std::filesystem;
        for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
            if (std::find(excluded.begin(), excluded.end(), it->path()) != excluded.end()) {
                it.disable_recursion_pending();
                continue;
            }
            const std::string name = fs::relative(it->path(), root).string();
            if (it->is_symlink()) entries_[name] = "link to " + fs::read_symlink(it->path()).string();
            else if (it->is_directory()) entries_[name] = "folder";
            else entries_[name] = "file " + ReadFileBytes(it->path());
        }
    }

    bool operator==(const TreeSnapshot&) const = default;

    friend std::ostream& operator<<(std::ostream& out, const TreeSnapshot& snapshot)
    {
        for (const auto& [name, entry] : snapshot.entries_) out << "\n  " << name << ": " << entry.substr(0, 40);
        return out;
    }

private:
    std::map<std::string, std::string> entries_;
};

}  // namespace testing_support
