// Windows spells paths with both separators and several kinds of root; an
// archive item must not use any of them to leave the extension folder.
#include <gtest/gtest.h>

#include "archive/extraction/file_operations.h"
#include "platform/paths/path.h"

namespace {

TEST(WindowsPathTest, RootsOfEveryKind)
{
    EXPECT_EQ(platform::RootPrefixLength(L"C:\\Program Files"), 3u);
    EXPECT_EQ(platform::RootPrefixLength(L"c:/Program Files"), 3u);
    EXPECT_EQ(platform::RootPrefixLength(L"C:relative"), 2u);
    EXPECT_EQ(platform::RootPrefixLength(L"\\\\server\\share\\folder"), 15u);
    EXPECT_EQ(platform::RootPrefixLength(L"//server/share"), 14u);
    EXPECT_EQ(platform::RootPrefixLength(L"\\\\?\\C:\\long"), 7u);
    EXPECT_EQ(platform::RootPrefixLength(L"\\\\.\\pipe\\name"), 9u);
    EXPECT_EQ(platform::RootPrefixLength(L"\\rooted"), 1u);
    EXPECT_EQ(platform::RootPrefixLength(L"folder\\file"), 0u);
    EXPECT_EQ(platform::RootPrefixLength(L""), 0u);
}

TEST(WindowsPathTest, BothSeparatorsSplit)
{
    EXPECT_EQ(platform::LastSeparator(L"C:/a\\b/c.txt"), 6u);
    EXPECT_EQ(platform::LastSeparator(L"C:\\a/b"), 4u);
    EXPECT_EQ(platform::FileNamePart(L"C:/Program Files\\x/y.json"), L"y.json");
}

TEST(WindowsPathTest, ItemPathsThatLeaveTheFolderAreRefused)
{
    for (const wchar_t* path :
         {L"..\\x", L"a\\..\\..\\x", L"../x", L"a/..\\x", L"C:\\x", L"C:x", L"\\x", L"\\\\server\\share\\x", L"a\\\\b",
          L"a\\...\\x", L"a\\. .\\x", L"a\\.. \\x", L"file.txt:stream", L"..", L""}) {
        EXPECT_TRUE(archive::IsUnsafeItemPath(path)) << path;
    }
    for (const wchar_t* path : {L"a\\b.txt", L"a/b/c", L".\\a", L"资源\\图标.png", L"a..b\\c", L".hidden"}) {
        EXPECT_FALSE(archive::IsUnsafeItemPath(path)) << path;
    }
}

}  // namespace
