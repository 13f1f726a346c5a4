#pragma once
// Shared by the extraction tests: a temporary folder that is removed
// afterwards, the real codec library and archives made with the real tools.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "archive/archive_error.h"
#include "archive/codec_library.h"
#include "platform/text.h"

namespace archive::testing {

namespace fs = std::filesystem;

inline constexpr const wchar_t* kCodecLibrary = L"/usr/lib/p7zip/7z.so";

inline std::wstring Wide(const fs::path& path) { return platform::Utf8ToWide(path.string()); }

inline std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a shell command; the test fails when it does not exit with 0.
inline void RunShell(const std::string& command)
{
    ASSERT_EQ(std::system(("{ " + command + "; } >/dev/null 2>&1").c_str()), 0) << command;
}

inline void WriteText(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#if !defined(_WIN32)
inline unsigned Mode(const fs::path& path)
{
    struct stat status {};
    EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}
#endif

inline std::size_t OpenDescriptorCount()
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{}));
}

// Expects `action` to throw ArchiveError with `message` and `code`.
inline void ExpectArchiveError(const std::function<void()>& action, const std::string& message, HRESULT code)
{
    try {
        action();
        ADD_FAILURE() << "no ArchiveError, expected \"" << message << "\"";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.what(), message);
        EXPECT_EQ(error.Code(), code);
    }
}

// A fresh folder per test, with the codec library loaded.
class ArchiveTest : public ::testing::Test {
protected:
    ArchiveTest()
    {
        // A parameterised test's name holds a "/".
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        root_ = fs::temp_directory_path() / ("merro-archive-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(root_);
        fs::create_directories(root_);
    }

    ~ArchiveTest() override
    {
        // Read-only folders left by a test must not stop the clean-up.
        std::error_code ignored;
        for (auto it = fs::recursive_directory_iterator(root_, ignored); it != fs::recursive_directory_iterator();
             it.increment(ignored)) {
            if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(root_, ignored);
    }

    const fs::path& Root() const { return root_; }

    // Zips the folder `source` below the root into `name` with the zip tool
    // run inside it; `options` go before the archive name.
    fs::path Zip(const std::string& source, const std::string& name, const std::string& options = "-r")
    {
        const fs::path archive = root_ / name;
        RunShell("cd " + Quote((root_ / source).string()) + " && zip -q " + options + " " + Quote(archive.string()) + " .");
        return archive;
    }

    CodecLibrary library_{kCodecLibrary};

private:
    fs::path root_;
};

}  // namespace archive::testing
