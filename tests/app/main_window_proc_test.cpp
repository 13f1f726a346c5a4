#include "app/main_window_proc.h"

#include <gtest/gtest.h>

#include "app/app_resources.h"
#include "support/temp_folder.h"
#include "update/main_window.h"

namespace {

using platform::WM_COMMAND;
using platform::WM_DESTROY;

// The window's commands, without the creation sequence (the program's own
// tests run that end to end).
class MainWindowCommandTest : public ::testing::Test {
protected:
    void SetUp() override { AppInstanceHandle = LoadAppResources(); }

    platform::MessageLoop loop;
    platform::HiddenWindow window{loop, MainWndProc};
};

TEST_F(MainWindowCommandTest, TrayQuitPostsDestroyWhichQuitsWithZero)
{
    EXPECT_EQ(window.Send(WM_COMMAND, TrayQuitCommand, 0), 0);
    EXPECT_EQ(loop.Run(), 0);
    // Only the destroy handler ran: the window is still there.
    EXPECT_TRUE(window.Post(platform::WM_USER, 0, 0));
}

TEST_F(MainWindowCommandTest, ExitCommandDestroysTheWindow)
{
    EXPECT_EQ(window.Send(WM_COMMAND, ExitCommand, 0), 0);
    EXPECT_FALSE(window.Post(platform::WM_USER, 0, 0));
    EXPECT_EQ(loop.Run(), 0);
}

TEST_F(MainWindowCommandTest, AboutBoxWithoutDisplayClosesAtOnce)
{
    const testing_support::ScopedEnv no_x11("DISPLAY", "");
    const testing_support::ScopedEnv no_wayland("WAYLAND_DISPLAY", "");
    testing::internal::CaptureStderr();
    EXPECT_EQ(window.Send(WM_COMMAND, AboutCommand, 0), 0);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("关于 MerroUpdate"), std::string::npos);
    EXPECT_NE(shown.find("MerroUpdate, 版本 1.0"), std::string::npos);
}

TEST_F(MainWindowCommandTest, OtherCommandsAndTrayClicksDoNothing)
{
    EXPECT_EQ(window.Send(WM_COMMAND, 999, 0), 0);
    EXPECT_EQ(window.Send(TrayNotify, TrayIconId, platform::WM_LBUTTONUP), 0);
    EXPECT_EQ(window.Send(TrayNotify, TrayIconId, platform::WM_RBUTTONUP), 0);
    window.Post(WM_DESTROY, 0, 0);
    EXPECT_EQ(loop.Run(), 0);
}

TEST(AboutDlgProcTest, OkAndCancelEndTheDialogWithTheirId)
{
    EXPECT_TRUE(AboutDlgProc(nullptr, platform::WM_INITDIALOG, 0, 0));
    EXPECT_FALSE(AboutDlgProc(nullptr, WM_COMMAND, 3, 0));
    EXPECT_FALSE(AboutDlgProc(nullptr, platform::WM_USER, 0, 0));

    const testing_support::ScopedEnv no_x11("DISPLAY", "");
    const testing_support::ScopedEnv no_wayland("WAYLAND_DISPLAY", "");
    testing::internal::CaptureStderr();
    // Closed without a box to show: the close box's IDCANCEL.
    EXPECT_EQ(platform::DialogBox(LoadAppResources()->about_dialog, nullptr, AboutDlgProc), platform::IdCancel);
    testing::internal::GetCapturedStderr();
}

}  // namespace
