// The tray icon while the shell refuses it, as Explorer does at log-on before
// it is ready: a stand-in for Shell_NotifyIconW fails the first adds with
// ERROR_TIMEOUT, and the icon is offered again until the shell takes it.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/app_icon.h"
#include "desktop/message_loop.h"
#include "desktop/message_loop_win.h"
#include "desktop/tray/tray_icon.h"
#include "desktop/tray/tray_icon_win.h"

namespace {

constexpr desktop::Message kTrayNotify = desktop::WmUser + 0x100;
constexpr std::uint32_t kTrayId = 128;

// What the stand-in shell was asked, how many adds it still refuses, and
// whether it shows the icon.
struct ShellCall {
    DWORD message;
    HWND window;
    UINT id;
    UINT callback_message;
    std::wstring tip;
    bool has_icon;
};
std::vector<ShellCall> calls;
int refused_adds = 0;
bool showing = false;

BOOL StandInShell(DWORD message, NOTIFYICONDATAW* data)
{
    calls.push_back({message, data->hWnd, data->uID, data->uCallbackMessage, data->szTip, data->hIcon != nullptr});
    switch (message) {
    case NIM_ADD:
        if (refused_adds > 0) {
            --refused_adds;
            ::SetLastError(ERROR_TIMEOUT);
            return FALSE;
        }
        showing = true;
        return TRUE;
    case NIM_MODIFY: return showing;
    case NIM_DELETE: return std::exchange(showing, false);
    default: return FALSE;
    }
}

desktop::LResult Ignore(desktop::WindowHandle, desktop::Message, desktop::WParam, desktop::LParam) { return 0; }

// Dispatches the thread's messages for `milliseconds`, or until `done`.
void PumpFor(
    ULONGLONG milliseconds, bool (*done)() = [] { return false; })
{
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    while (::GetTickCount64() < end && !done()) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

int Adds()
{
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [](const ShellCall& call) { return call.message == NIM_ADD; }));
}

class WindowsTrayRetryTest : public ::testing::Test {
protected:
    WindowsTrayRetryTest() : previous_(desktop::ReplaceShellNotifyIcon(&StandInShell))
    {
        record_.window = &window_;
        record_.id = kTrayId;
        record_.callback_message = kTrayNotify;
        record_.icon = icon_;
        record_.tip = L"Pelvane更新程序";
        calls.clear();
        showing = false;
    }
    ~WindowsTrayRetryTest() override
    {
        desktop::DeleteTrayIcon(record_);
        desktop::ReplaceShellNotifyIcon(previous_);
    }

    desktop::ShellNotifyIconCall previous_;
    const std::vector<desktop::IconImage> icon_ = {DrawAppIcon(128)};
    desktop::MessageLoop loop_;
    desktop::HiddenWindow window_{loop_, Ignore};
    desktop::TrayIconRecord record_;
};

TEST_F(WindowsTrayRetryTest, RefusedIconIsOfferedAgainUntilTheShellTakesIt)
{
    refused_adds = 2;
    EXPECT_FALSE(desktop::AddTrayIcon(record_));
    // Two refusals, so the third offer, a second after the second one.
    PumpFor(10 * desktop::kTrayRetryMilliseconds, [] { return Adds() == 3; });
    ASSERT_EQ(Adds(), 3);
    const HWND native = desktop::NativeWindow(&window_);
    for (const ShellCall& call : calls) {
        EXPECT_EQ(call.window, native);
        EXPECT_EQ(call.id, kTrayId);
        EXPECT_EQ(call.callback_message, kTrayNotify);
        EXPECT_EQ(call.tip, L"Pelvane更新程序");
        EXPECT_TRUE(call.has_icon);
    }
    // Taken: no more offers.
    const std::size_t after_success = calls.size();
    PumpFor(2 * desktop::kTrayRetryMilliseconds);
    EXPECT_EQ(calls.size(), after_success);
}

TEST_F(WindowsTrayRetryTest, TaskbarCreatedAddsTheRefusedIconAtOnceAndEndsTheRetries)
{
    refused_adds = 1;
    EXPECT_FALSE(desktop::AddTrayIcon(record_));
    ::SendMessageW(desktop::NativeWindow(&window_), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(Adds(), 2);
    const std::size_t after_success = calls.size();
    PumpFor(2 * desktop::kTrayRetryMilliseconds);
    EXPECT_EQ(calls.size(), after_success);
}

}  // namespace
