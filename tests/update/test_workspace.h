#pragma once
// A private temporary folder that is the current directory while the object
// lives, with a Wine prefix of its own below it. Both are restored and the
// folder removed at the end.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>

class TestWorkspace {
public:
    TestWorkspace()
    {
        std::random_device random;
        std::ostringstream name;
        name << "merro-update-" << std::hex << random() << random();
        root_ = std::filesystem::temp_directory_path() / name.str();
        std::filesystem::create_directories(root_ / "work");
        std::filesystem::create_directories(root_ / "prefix");
        saved_directory_ = std::filesystem::current_path();
        if (const char* prefix = std::getenv("WINEPREFIX")) saved_prefix_ = prefix;
        setenv("WINEPREFIX", (root_ / "prefix").c_str(), 1);
        std::filesystem::current_path(root_ / "work");
    }
    ~TestWorkspace()
    {
        std::filesystem::current_path(saved_directory_);
        if (saved_prefix_) setenv("WINEPREFIX", saved_prefix_->c_str(), 1);
        else unsetenv("WINEPREFIX");
        std::error_code ignored;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    TestWorkspace(const TestWorkspace&) = delete;
    TestWorkspace& operator=(const TestWorkspace&) = delete;

    // The current directory while the workspace lives.
    std::filesystem::path work() const { return root_ / "work"; }
    // A folder outside the current directory, for inputs of the test's own.
    std::filesystem::path scratch() const
    {
        std::filesystem::create_directories(root_ / "scratch");
        return root_ / "scratch";
    }
    // drive_c of the workspace's Wine prefix.
    std::filesystem::path drive_c() const { return root_ / "prefix" / "drive_c"; }

private:
    std::filesystem::path root_;
    std::filesystem::path saved_directory_;
    std::optional<std::string> saved_prefix_;
};

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content)
{
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}
