#pragma once
// Shared by the extraction tests: a temporary folder that is removed
// afterwards, the real codec library and archives made with the zip tool.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "archive/archive_error.h"
#include "archive/codec_library.h"
#include "platform/base/text.h"
#include "support/temp_folder.h"
#if !defined(_WIN32)
#include "support/child_process.h"
#endif

namespace archive::testing {

namespace fs = std::filesystem;

inline constexpr const wchar_t* kCodecLibrary = L"/usr/lib/p7zip/7z.so";

inline std::wstring Wide(const fs::path& path) { return platform::Utf8ToWide(path.string()); }

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

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
    const fs::path& Root() const { return root_.path(); }

#if !defined(_WIN32)
    // Zips the folder `source` below the root into `name` with the zip tool
    // run inside it; `options` go before the archive name.
    fs::path Zip(const std::string& source, const std::string& name, const std::vector<std::string>& options = {"-r"})
    {
        const fs::path archive = Root() / name;
        EXPECT_EQ(testing_support::ZipFolder(Root() / source, archive, options), 0) << "zip failed for " << name;
        return archive;
    }
#endif

    CodecLibrary library_{kCodecLibrary};

private:
    testing_support::TempFolder root_;
};

}  // namespace archive::testing
