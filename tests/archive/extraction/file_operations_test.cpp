#include "archive/extraction/file_operations.h"
#include "platform/paths/path.h"

#include "archive/archive_test_support.h"

namespace archive {
namespace {

using namespace archive::testing;

using FileOperationsTest = ArchiveTest;

TEST_F(FileOperationsTest, CreatesEveryMissingLevel)
{
    EXPECT_TRUE(CreateFolderPath(Wide(Root() / "a" / "b" / "c")));
    EXPECT_TRUE(fs::is_directory(Root() / "a" / "b" / "c"));
    EXPECT_TRUE(CreateFolderPath(Wide(Root() / "a" / "b" / "c")));
    EXPECT_TRUE(CreateFolderPath(Wide(Root() / "d") + L"/"));
    EXPECT_TRUE(fs::is_directory(Root() / "d"));
    EXPECT_TRUE(CreateFolderPath(L"/"));
}

TEST_F(FileOperationsTest, FileInTheWayStopsFolderCreation)
{
    WriteFileBytes(Root() / "file", "x");
    EXPECT_FALSE(CreateFolderPath(Wide(Root() / "file")));
    EXPECT_FALSE(CreateFolderPath(Wide(Root() / "file" / "below")));
}

TEST_F(FileOperationsTest, DeletesReadOnlyFilesButNotFolders)
{
    WriteFileBytes(Root() / "locked", "x");
    fs::permissions(Root() / "locked", fs::perms::owner_read);
    EXPECT_TRUE(DeleteFileInTheWay(Wide(Root() / "locked")));
    EXPECT_FALSE(fs::exists(Root() / "locked"));
    fs::create_directories(Root() / "folder");
    EXPECT_FALSE(DeleteFileInTheWay(Wide(Root() / "folder")));
    EXPECT_FALSE(DeleteFileInTheWay(Wide(Root() / "missing")));
}

TEST(ItemPathTest, PathsThatLeaveTheOutputFolderAreUnsafe)
{
    for (const wchar_t* unsafe : {L"../x", L"a/../../x", L"/abs/x", L"a//b", L"..", L"a/..", L"dir/", L""}) {
        EXPECT_TRUE(IsUnsafeItemPath(unsafe)) << platform::WideToUtf8(unsafe);
    }
    for (const wchar_t* safe : {L"x", L"a/b/c.txt", L"..x", L"a/..b/c", L"./x", L"a\\..\\x", L"中文/名"}) {
        EXPECT_FALSE(IsUnsafeItemPath(safe)) << platform::WideToUtf8(safe);
    }
}

TEST(ItemPathTest, FileNameIsTheTextAfterTheLastSeparator)
{
    EXPECT_EQ(platform::FileNamePart(L"/a/b/c.txt"), L"c.txt");
    EXPECT_EQ(platform::FileNamePart(L"name"), L"name");
    EXPECT_EQ(platform::FileNamePart(L"dir/"), L"");
}

}  // namespace
}  // namespace archive
