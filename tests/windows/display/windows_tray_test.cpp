// The tray icon on a desktop with a notification area (Wine's X11 driver
// under Xvfb): the menu's choice arrives as WM_COMMAND and the icon comes
// back when the taskbar is made again.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/app_icon.h"
#include "desktop/message_loop.h"
#include "desktop/message_loop_win.h"
#include "desktop/tray/tray_icon.h"

namespace {

constexpr desktop::Message kTrayNotify = desktop::WmUser + 0x100;
constexpr std::uint32_t kTrayId = 128;
constexpr std::uint16_t kQuitCommand = 4001;

std::vector<std::uint16_t> commands;

desktop::LResult RecordCommands(desktop::WindowHandle, desktop::Message message, desktop::WParam wparam,
                                desktop::LParam)
{
    if (message == desktop::WmCommand) {
        commands.push_back(desktop::LowWord(wparam));
        desktop::PostQuitMessage(0);
    }
    return 0;
}

bool IconShown(HWND window)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = kTrayId;
    return ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

class WindowsTrayTest : public ::testing::Test {
protected:
    WindowsTrayTest()
    {
        record_.window = &window_;
        record_.id = kTrayId;
        record_.callback_message = kTrayNotify;
        record_.icon = icon_;
        record_.tip = L"Pelvane更新程序";
        record_.menu = {{kQuitCommand, L"程序退出"}};
        commands.clear();
    }
    ~WindowsTrayTest() override { desktop::DeleteTrayIcon(record_); }

    const std::vector<desktop::IconImage> icon_ = {DrawAppIcon(128), DrawAppIcon(256)};
    desktop::MessageLoop loop_;
    desktop::HiddenWindow window_{loop_, RecordCommands};
    desktop::TrayIconRecord record_;
};

TEST_F(WindowsTrayTest, MenuChoiceArrivesAsItsCommand)
{
    ASSERT_TRUE(desktop::AddTrayIcon(record_));
    const HWND native = desktop::NativeWindow(&window_);
    // A right click opens the menu; the keys wait behind it in the queue and
    // are read by the menu's own loop: down to the one item, then Enter.
    ASSERT_TRUE(::PostMessageW(native, kTrayNotify, kTrayId, WM_RBUTTONUP));
    ::PostMessageW(native, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(native, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(loop_.Run(), 0);
    EXPECT_EQ(commands, std::vector<std::uint16_t>{kQuitCommand});
}

TEST_F(WindowsTrayTest, IconIsAddedAgainWhenTheTaskbarIsMadeAgain)
{
    ASSERT_TRUE(desktop::AddTrayIcon(record_));
    const HWND native = desktop::NativeWindow(&window_);
    ASSERT_TRUE(IconShown(native));
    // As after Explorer restarted: the taskbar no longer has the icon.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = native;
    data.uID = kTrayId;
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data));
    ASSERT_FALSE(IconShown(native));
    ::SendMessageW(native, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(IconShown(native));
}

}  // namespace
