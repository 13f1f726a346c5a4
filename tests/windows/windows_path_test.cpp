// Windows spells paths with both separators and several kinds of root; an
// archive item must not use any of them to leave the extension folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "archive/extraction/file_operations.h"
#include "platform/paths/long_path_win.h"
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

TEST(WindowsPathTest, FileCallsGetAbsoluteBackslashedLongPaths)
{
    EXPECT_EQ(platform::LongPath(L"C:/Program Files/x/../y.txt"), L"\\\\?\\C:\\Program Files\\y.txt");
    EXPECT_EQ(platform::LongPath(L"C:/Program Files/"), L"\\\\?\\C:\\Program Files");
    EXPECT_EQ(platform::LongPath(L"C:/"), L"\\\\?\\C:\\");
    EXPECT_EQ(platform::LongPath(L"//server/share/a"), L"\\\\?\\UNC\\server\\share\\a");
    EXPECT_EQ(platform::LongPath(L"\\\\?\\C:\\as is/.."), L"\\\\?\\C:\\as is/..");
    wchar_t current[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, current), 0u);
    const std::wstring relative = platform::LongPath(L"LocalConfig.json");
    EXPECT_EQ(relative, L"\\\\?\\" + std::wstring(current) + L"\\LocalConfig.json");
    const std::wstring deep(300, L'd');
    EXPECT_EQ(platform::LongPath(L"C:\\" + deep + L"\\f"), L"\\\\?\\C:\\" + deep + L"\\f");
}

TEST(WindowsPathTest, ItemNamesThatOpenADeviceAreRefused)
{
    for (const wchar_t* path : {L"CON", L"a\\con", L"prn.txt", L"a/Aux.tar.gz", L"nul", L"NUL.", L"com1", L"COM9.log",
                                L"lpt1\\x", L"a\\LpT5.dat", L"con .txt", L"Com1 ", L"aux..", L"nul . "}) {
        EXPECT_TRUE(archive::IsUnsafeItemPath(path)) << path;
    }
    for (const wchar_t* path :
         {L"console", L"a\\conx.txt", L"com0", L"com10", L"lpt", L"xnul", L"a\\con_", L"auxiliary.js", L"COM\\1"}) {
        EXPECT_FALSE(archive::IsUnsafeItemPath(path)) << path;
    }
}

}  // namespace
