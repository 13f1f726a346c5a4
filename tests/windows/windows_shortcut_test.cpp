// The Start-menu shortcut that gives notifications their identity, written
// through IShellLinkW and IPropertyStore.
#include <windows.h>

#include <objbase.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "desktop/identity/shortcut.h"
#include "support/temp_folder.h"
#include "support/wine.h"

namespace {

constexpr platform::HResult kNotImplemented = static_cast<platform::HResult>(0x80004001);

class WindowsShortcutTest : public ::testing::Test {
protected:
    WindowsShortcutTest() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~WindowsShortcutTest() override { ::CoUninitialize(); }

    testing_support::TempFolder folder_;
};

TEST_F(WindowsShortcutTest, ShortcutIsWrittenWithTheIdentifierAndReadBack)
{
    const std::wstring path = (folder_.path() / (L"Pelvane" + desktop::ShortcutExtension())).wstring();
    const desktop::ShortcutLink link{L"Pelvane", L"C:\\Program Files\\MerroUpdate\\merroupdate.exe", L"",
                                     L"C:\\Program Files\\MerroUpdate", L"Pelvane.MerroUpdate"};
    ASSERT_EQ(desktop::CreateShortcut(path, link), platform::hresult::kOk);
    EXPECT_TRUE(desktop::ShortcutExists(path));
    EXPECT_GT(std::filesystem::file_size(path), 0u);

    std::optional<std::wstring> id;
    const platform::HResult read = desktop::ReadShortcutId(path, id);
    if (testing_support::RunningUnderWine()) {
        // Wine writes the property but cannot read it back.
        EXPECT_EQ(read, kNotImplemented);
    } else {
        ASSERT_EQ(read, platform::hresult::kOk);
        EXPECT_EQ(id, L"Pelvane.MerroUpdate");
    }
}

TEST_F(WindowsShortcutTest, ShortcutFolderIsTheStartMenuProgramsFolder)
{
    const std::wstring folder = desktop::ShortcutFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.ends_with(L"\\Start Menu\\Programs\\")) << std::filesystem::path(folder).string();
    EXPECT_FALSE(desktop::ShortcutExists(folder + L"absent.lnk"));
}

}  // namespace
