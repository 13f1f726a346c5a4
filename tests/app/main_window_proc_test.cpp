#include "app/main_window_proc.h"

#include <gtest/gtest.h>

#include "app/app_resources.h"
#include "app/main_window.h"
#include "support/temp_folder.h"

namespace {

using desktop::WmCommand;
using desktop::WmDestroy;

// The window's commands, without the creation sequence (the program's own
// tests run that end to end).
class MainWindowCommandTest : public ::testing::Test {
protected:
    void SetUp() override { AppInstanceHandle = LoadAppResources(); }

    desktop::MessageLoop loop;
    desktop::HiddenWindow window{loop, MainWndProc};
};

TEST_F(MainWindowCommandTest, TrayQuitPostsDestroyWhichQuitsWithZero)
{
    EXPECT_EQ(window.Send(WmCommand, TrayQuitCommand, 0), 0);
    EXPECT_EQ(loop.Run(), 0);
    // Only the destroy handler ran: the window is still there.
    EXPECT_TRUE(window.Post(desktop::WmUser, 0, 0));
}

TEST_F(MainWindowCommandTest, ExitCommandDestroysTheWindow)
{
    EXPECT_EQ(window.Send(WmCommand, ExitCommand, 0), 0);
    EXPECT_FALSE(window.Post(desktop::WmUser, 0, 0));
    EXPECT_EQ(loop.Run(), 0);
}

TEST_F(MainWindowCommandTest, AboutBoxWithoutDisplayClosesAtOnce)
{
    const testing_support::ScopedEnvironment no_x11("DISPLAY", "");
    const testing_support::ScopedEnvironment no_wayland("WAYLAND_DISPLAY", "");
    testing::internal::CaptureStderr();
    EXPECT_EQ(window.Send(WmCommand, AboutCommand, 0), 0);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("关于 MerroUpdate"), std::string::npos);
    EXPECT_NE(shown.find("MerroUpdate, 版本 1.0"), std::string::npos);
}

TEST_F(MainWindowCommandTest, OtherCommandsAndTrayClicksDoNothing)
{
    EXPECT_EQ(window.Send(WmCommand, 999, 0), 0);
    EXPECT_EQ(window.Send(TrayNotify, TrayIconId, desktop::WmLButtonUp), 0);
    EXPECT_EQ(window.Send(TrayNotify, TrayIconId, desktop::WmRButtonUp), 0);
    window.Post(WmDestroy, 0, 0);
    EXPECT_EQ(loop.Run(), 0);
}

TEST(AboutDlgProcTest, OkAndCancelEndTheDialogWithTheirId)
{
    EXPECT_TRUE(AboutDlgProc(nullptr, desktop::WmInitDialog, 0, 0));
    EXPECT_FALSE(AboutDlgProc(nullptr, WmCommand, 3, 0));
    EXPECT_FALSE(AboutDlgProc(nullptr, desktop::WmUser, 0, 0));

    const testing_support::ScopedEnvironment no_x11("DISPLAY", "");
    const testing_support::ScopedEnvironment no_wayland("WAYLAND_DISPLAY", "");
    testing::internal::CaptureStderr();
    // Closed without a box to show: the close box's IDCANCEL.
    EXPECT_EQ(desktop::ShowDialog(LoadAppResources()->about_dialog, nullptr, AboutDlgProc), desktop::IdCancel);
    testing::internal::GetCapturedStderr();
}

}  // namespace
