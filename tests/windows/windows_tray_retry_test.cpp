// The tray icon while the shell refuses it, as Explorer does at log-on before
// it is ready: a stand-in for Shell_NotifyIconW fails the first adds with
// ERROR_TIMEOUT, and the icon is offered again until the shell takes it.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "app/app_icon.h"
#include "desktop/message_loop.h"
#include "desktop/message_loop_win.h"
#include "desktop/tray/tray_icon.h"
#include "desktop/tray/tray_icon_win.h"
#include "support/event_wait.h"

namespace {

constexpr std::uint32_t kTrayId = 128;

std::vector<NOTIFYICONDATAW> calls;  // uFlags holds the message
int refused_adds = 0;
bool showing = false;

BOOL StandInShell(DWORD message, NOTIFYICONDATAW* data)
{
    calls.push_back(*data);
    calls.back().uFlags = message;
    if (message == NIM_DELETE) return std::exchange(showing, false);
    if (message == NIM_MODIFY) return showing;
    if (refused_adds-- > 0) return ::SetLastError(ERROR_TIMEOUT), FALSE;
    return showing = true;
}

int Adds()
{
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [](const auto& c) { return c.uFlags == NIM_ADD; }));
}

// Dispatches the thread's messages until `done`, for as long as a test waits
// for anything.
void PumpUntil(bool (*done)())
{
    const auto limit = static_cast<ULONGLONG>(std::chrono::milliseconds(testing_support::kEventWait).count());
    for (const ULONGLONG end = ::GetTickCount64() + limit; ::GetTickCount64() < end && !done();) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

desktop::LResult Ignore(desktop::WindowHandle, desktop::Message, desktop::WParam, desktop::LParam) { return 0; }

class WindowsTrayRetryTest : public ::testing::Test {
protected:
    WindowsTrayRetryTest() : previous_(desktop::ReplaceShellNotifyIcon(&StandInShell))
    {
        record_ = {&window_, kTrayId, desktop::WmUser + 0x100, icon_, L"Pelvane更新程序", L"MerroUpdate", {}};
        calls.clear();
        showing = false;
    }
    ~WindowsTrayRetryTest() override
    {
        desktop::DeleteTrayIcon(record_);
        desktop::ReplaceShellNotifyIcon(previous_);
    }

    // The icon is taken and no timer is left to offer it again.
    void ExpectNoRetryLeft() { EXPECT_FALSE(::KillTimer(desktop::NativeWindow(&window_), desktop::kTrayRetryTimer)); }

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
    PumpUntil([] { return Adds() == 3; });
    ASSERT_EQ(Adds(), 3);
    for (const NOTIFYICONDATAW& call : calls) {  // the same icon record each time
        EXPECT_EQ(call.hWnd, desktop::NativeWindow(&window_));
        EXPECT_EQ(call.uID, kTrayId);
        EXPECT_EQ(call.uCallbackMessage, record_.callback_message);
        EXPECT_STREQ(call.szTip, L"Pelvane更新程序");
    }
    ExpectNoRetryLeft();
}

TEST_F(WindowsTrayRetryTest, TaskbarCreatedAddsTheRefusedIconAtOnceAndEndsTheRetries)
{
    refused_adds = 1;
    EXPECT_FALSE(desktop::AddTrayIcon(record_));
    ::SendMessageW(desktop::NativeWindow(&window_), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(Adds(), 2);
    ExpectNoRetryLeft();
}

}  // namespace
