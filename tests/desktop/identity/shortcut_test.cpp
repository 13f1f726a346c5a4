#include "desktop/identity/shortcut.h"

#include <gtest/gtest.h>

#include "desktop/identity/desktop_entry.h"
#include "support/temp_folder.h"

namespace notify_test {
namespace {

using namespace testing_support;

namespace hresult = platform::hresult;

TEST(DesktopEntryTest, ReadsTheKeyOfTheDesktopEntryGroupOnly)
{
    const std::string content =
        "# comment\n[Other]\nX-AppUserModel-ID=wrong\n[Desktop Entry]\nName=Pelvane\n"
        "X-AppUserModel-ID[de]=localized\nX-AppUserModel-ID = Pelvane\\sAPP'ID\\\\x \n";
    EXPECT_EQ(desktop::ReadDesktopEntryKey(content, "X-AppUserModel-ID"), "Pelvane APP'ID\\x");
    EXPECT_EQ(desktop::ReadDesktopEntryKey(content, "Missing"), std::nullopt);
    EXPECT_EQ(desktop::ReadDesktopEntryKey("[Other]\nName=x\n", "Name"), std::nullopt);
}

TEST(DesktopEntryTest, SettingAKeyReplacesItsLineOrAddsItAtTheEndOfTheGroup)
{
    EXPECT_EQ(desktop::SetDesktopEntryKey("[Desktop Entry]\nName=P\nX-Id=old\nExec=p\n", "X-Id", "new"),
              "[Desktop Entry]\nName=P\nX-Id=new\nExec=p\n");
    EXPECT_EQ(desktop::SetDesktopEntryKey("[Desktop Entry]\nName=P\n\n[Desktop Action a]\nX-Id=a\n", "X-Id", "n"),
              "[Desktop Entry]\nName=P\nX-Id=n\n\n[Desktop Action a]\nX-Id=a\n");
    EXPECT_EQ(desktop::SetDesktopEntryKey("# only a comment\n", "X-Id", " lead"),
              "# only a comment\n[Desktop Entry]\nX-Id=\\slead\n");
}

TEST(DesktopEntryTest, ExecArgumentsAreQuotedAndValuesEscaped)
{
    EXPECT_EQ(desktop::QuoteExecArgument("/opt/my app/run$1 100%\"`\\"), "\"/opt/my app/run\\$1 100%%\\\"\\`\\\\\"");
    EXPECT_EQ(desktop::EscapeDesktopValue("a\\b\nc\td\re f"), "a\\\\b\\nc\\td\\re f");
    EXPECT_EQ(desktop::EscapeDesktopValue(" x"), "\\sx");
}

class ShortcutTest : public testing::Test {
protected:
    ShortcutTest() { environment_.Set("XDG_DATA_HOME", (home_.path() / "data").string()); }

    std::wstring Path() const { return desktop::ShortcutFolder() + L"Pelvane" + desktop::ShortcutExtension(); }
    std::filesystem::path File() const { return home_.path() / "data/applications/Pelvane.desktop"; }

    TempFolder home_;
    ScopedEnvironment environment_;
};

TEST_F(ShortcutTest, FolderComesFromXdgDataHomeThenHomeElseNothing)
{
    const std::string data = (home_.path() / "data").string();
    EXPECT_EQ(desktop::ShortcutFolder(), std::wstring(data.begin(), data.end()) + L"/applications/");
    environment_.Unset("XDG_DATA_HOME");
    environment_.Set("HOME", "/home/someone");
    EXPECT_EQ(desktop::ShortcutFolder(), L"/home/someone/.local/share/applications/");
    environment_.Unset("HOME");
    EXPECT_EQ(desktop::ShortcutFolder(), L"");
}

TEST_F(ShortcutTest, CreatedShortcutIsHiddenFromMenusAndNamesTheProgramItsFolderAndTheIdentifier)
{
    EXPECT_FALSE(desktop::ShortcutExists(Path()));
    const desktop::ShortcutLink link{L"Pelvane", L"/opt/更新 程序/merroupdate", L"", L"/opt/更新 程序",
                                     L"Pelvane APP'ID"};
    ASSERT_EQ(desktop::CreateShortcut(Path(), link), hresult::kOk);
    EXPECT_TRUE(desktop::ShortcutExists(Path()));
    EXPECT_EQ(ReadFileBytes(File()),
              "[Desktop Entry]\nType=Application\nNoDisplay=true\nName=Pelvane\nExec=\"/opt/更新 程序/merroupdate\"\n"
              "Path=/opt/更新 程序\nX-AppUserModel-ID=Pelvane APP'ID\n");
    EXPECT_EQ(desktop::ReadDesktopEntryKey(ReadFileBytes(File()), "NoDisplay"), "true");

    std::optional<std::wstring> id;
    ASSERT_EQ(desktop::ReadShortcutId(Path(), id), hresult::kOk);
    EXPECT_EQ(id, L"Pelvane APP'ID");
}

TEST_F(ShortcutTest, RepairRewritesOnlyTheIdentifierAndHidesAnOlderVisibleEntry)
{
    // Written by a version that left the entry in menus: the right
    // identifier still needs a repair.
    WriteFileBytes(File(), "[Desktop Entry]\nType=Application\nName=Pelvane\nX-AppUserModel-ID=old\nIcon=custom\n");
    std::optional<std::wstring> id;
    ASSERT_EQ(desktop::ReadShortcutId(Path(), id), hresult::kOk);
    EXPECT_EQ(id, std::nullopt);
    ASSERT_EQ(desktop::WriteShortcutId(Path(), L"Pelvane APP'ID"), hresult::kOk);
    EXPECT_EQ(ReadFileBytes(File()),
              "[Desktop Entry]\nType=Application\nName=Pelvane\nX-AppUserModel-ID=Pelvane APP'ID\n"
              "Icon=custom\nNoDisplay=true\n");
    ASSERT_EQ(desktop::ReadShortcutId(Path(), id), hresult::kOk);
    EXPECT_EQ(id, L"Pelvane APP'ID");
    for (const auto& entry : std::filesystem::directory_iterator(File().parent_path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

TEST_F(ShortcutTest, MissingFileOrIdentifier)
{
    std::optional<std::wstring> id = L"stale";
    EXPECT_TRUE(platform::Failed(desktop::ReadShortcutId(Path(), id)));
    EXPECT_TRUE(platform::Failed(desktop::WriteShortcutId(Path(), L"x")));
    EXPECT_TRUE(platform::Failed(desktop::CreateShortcut(L"", {})));

    WriteFileBytes(File(), "[Desktop Entry]\nName=Pelvane\n");
    ASSERT_EQ(desktop::ReadShortcutId(Path(), id), hresult::kOk);
    EXPECT_EQ(id, std::nullopt);
}

}  // namespace
}  // namespace notify_test
