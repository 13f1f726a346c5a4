#include "platform/files/file_system.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/base/text.h"
#include "support/temp_folder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
protected:
    std::wstring Wide(const fs::path& path) const { return Utf8ToWide(path.string()); }
    static unsigned Mode(const fs::path& path)
    {
        struct stat status {};
        EXPECT_EQ(lstat(path.c_str(), &status), 0);
        return status.st_mode & 07777;
    }

    testing_support::TempFolder folder_;
    const fs::path root_ = folder_.path();
};

TEST_F(FileSystemTest, ReadOnlyBitTogglesWriteWithoutUnixMode)
{
    const fs::path file = root_ / "file";
    std::ofstream(file) << "x";
    fs::permissions(file, static_cast<fs::perms>(0664));
    EXPECT_EQ(ApplyFileAttributes(Wide(file), kAttributeReadOnly), WindowsError::kSuccess);
    EXPECT_EQ(Mode(file), 0444u);
    EXPECT_EQ(ApplyFileAttributes(Wide(file), 0x20), WindowsError::kSuccess);
    EXPECT_EQ(Mode(file), 0644u);

    FileInfo info;
    ASSERT_EQ(FindFile(Wide(file), info), WindowsError::kSuccess);
    EXPECT_EQ(info.name, L"file");
    EXPECT_EQ(info.attributes & (kAttributeReadOnly | kAttributeDirectory), 0u);
    EXPECT_EQ(info.attributes >> 16, 0100644u);
}

TEST_F(FileSystemTest, UnixModeDropsSpecialBitsAndFoldersKeepOwnerAccess)
{
    const fs::path folder = root_ / "folder";
    ASSERT_EQ(CreateFolder(Wide(folder)), WindowsError::kSuccess);
    EXPECT_EQ(CreateFolder(Wide(folder)), WindowsError::kAlreadyExists);
    EXPECT_EQ(ApplyFileAttributes(Wide(folder), kAttributeUnixExtension | kAttributeDirectory | (01555u << 16)),
              WindowsError::kSuccess);
    EXPECT_EQ(Mode(folder), 0755u);

    const fs::path link = root_ / "link";
    fs::create_symlink(folder, link);
    EXPECT_EQ(ApplyFileAttributes(Wide(link), kAttributeUnixExtension | (0600u << 16)), WindowsError::kSuccess);
    EXPECT_EQ(Mode(folder), 0755u);
    FileInfo info;
    ASSERT_EQ(FindFile(Wide(link), info), WindowsError::kSuccess);
    EXPECT_EQ(info.attributes & kAttributeDirectory, 0u);
}

TEST_F(FileSystemTest, SystemErrorsBecomeWindowsNumbers)
{
    FileInfo info;
    EXPECT_EQ(FindFile(Wide(root_ / "missing"), info), WindowsError::kFileNotFound);
    EXPECT_EQ(RemoveFile(Wide(root_ / "missing")), WindowsError::kFileNotFound);
    const std::pair<int, WindowsError> table[] = {
        {ENOTDIR, WindowsError::kPathNotFound}, {EACCES, WindowsError::kAccessDenied},
        {EPERM, WindowsError::kAccessDenied},   {ENOSPC, WindowsError::kDiskFull},
        {EROFS, WindowsError::kWriteProtect},   {EEXIST, WindowsError::kAlreadyExists},
        {EBADF, WindowsError::kGeneralFailure},
    };
    for (const auto& [number, expected] : table) {
        errno = number;
        EXPECT_EQ(LastSystemError(), expected) << number;
    }
}

// What the crash-state check proves flushed, the flush must reach without
// failing: a read-only file, a folder without write permission, a link.
TEST_F(FileSystemTest, FlushTreeReachesReadOnlyEntriesAndSkipsLinks)
{
    fs::create_directories(root_ / "tree/locked");
    std::ofstream(root_ / "tree/locked/file") << "x";
    fs::permissions(root_ / "tree/locked/file", static_cast<fs::perms>(0444));
    fs::permissions(root_ / "tree/locked", static_cast<fs::perms>(0555));
    fs::create_symlink(root_ / "missing", root_ / "tree/link");
    EXPECT_NO_THROW(FlushTree(root_ / "tree"));
    EXPECT_NO_THROW(FlushFolder(root_ / "tree/locked"));
    EXPECT_EQ(Mode(root_ / "tree/locked/file"), 0444u);
    fs::permissions(root_ / "tree/locked", static_cast<fs::perms>(0755));
    EXPECT_THROW(FlushTree(root_ / "missing"), fs::filesystem_error);
    EXPECT_THROW(FlushFolder(root_ / "missing"), fs::filesystem_error);
}

TEST(PathRootTest, OnlyAbsolutePathsHaveARoot)
{
    EXPECT_EQ(RootPrefixLength(L"/usr"), 1u);
    EXPECT_EQ(RootPrefixLength(L"usr"), 0u);
    EXPECT_EQ(RootPrefixLength(L""), 0u);
}

}  // namespace
}  // namespace platform
