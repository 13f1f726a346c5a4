// The Start-menu shortcut that gives notifications their identity, written
// through IShellLinkW and IPropertyStore.
#include <windows.h>

#include <objbase.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/shortcut.h"
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
    const std::wstring path = (folder_.path() / (L"Pelvane" + platform::ShortcutExtension())).wstring();
    const platform::ShortcutLink link{L"Pelvane", L"C:\\Program Files\\MerroUpdate\\merroupdate.exe", L"",
                                      L"C:\\Program Files\\MerroUpdate", L"Pelvane.MerroUpdate"};
    ASSERT_EQ(platform::CreateShortcut(path, link), platform::hresult::kOk);
    EXPECT_TRUE(platform::ShortcutExists(path));
    EXPECT_GT(std::filesystem::file_size(path), 0u);

    std::optional<std::wstring> id;
    const platform::HResult read = platform::ReadShortcutId(path, id);
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
    const std::wstring folder = platform::ShortcutFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.ends_with(L"\\Start Menu\\Programs\\")) << std::filesystem::path(folder).string();
    EXPECT_FALSE(platform::ShortcutExists(folder + L"absent.lnk"));
}

}  // namespace
