#include "platform/durable/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include <filesystem>

#include "support/temp_folder.h"

namespace platform {
namespace {

using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

TEST(AtomicFileTest, CreatesAMissingFileAndReplacesAnExistingOne)
{
    TempFolder folder;
    const std::string path = (folder.path() / "a.json").string();
    ReplaceFileContent(path, "first");
    EXPECT_EQ(ReadFileBytes(path), "first");
    ReplaceFileContent(path, "second, longer than the first");
    EXPECT_EQ(ReadFileBytes(path), "second, longer than the first");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(AtomicFileTest, MissingFolderFailsNamingTheFile)
{
    TempFolder folder;
    const std::string path = (folder.path() / "missing" / "a.json").string();
    try {
        ReplaceFileContent(path, "x");
        FAIL() << "no error for a missing folder";
    } catch (const FileWriteError& error) {
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("No such file or directory"), std::string::npos) << error.what();
    }
}

TEST(AtomicFileTest, FullFileSystemLeavesTheOldContentAndNoTemporaryFile)
{
    TempFolder folder;
    if (mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    }
    const std::string path = (folder.path() / "a.json").string();
    WriteFileBytes(path, "old");
    try {
        ReplaceFileContent(path, std::string(256 * 1024, 'x'));
        ADD_FAILURE() << "a write to a full file system reported success";
    } catch (const FileWriteError& error) {
        EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos) << error.what();
    }
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
    umount(folder.path().c_str());
}

}  // namespace
}  // namespace platform
