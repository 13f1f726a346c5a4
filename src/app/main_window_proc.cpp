#include "app/main_window_proc.h"

#include "app/app_resources.h"
#include "app/check_interval.h"
#include "notify/update_notification.h"
#include "platform/text.h"
#include "platform/tray_icon.h"
#include "update/activity_log.h"
#include "update/local_config.h"
#include "update/log_value.h"
#include "update/main_window.h"
#include "update/package_installation.h"

namespace {

using platform::LResult;

// The tray tip's first line; a second one can follow after a line feed.
constexpr const wchar_t* TrayTip = L"Pelvane更新程序";

// The same record adds and deletes the icon.
platform::TrayIconRecord MainTrayIcon(platform::WindowHandle window)
{
    platform::TrayIconRecord record;
    record.window = window;
    record.id = TrayIconId;
    record.callback_message = TrayNotify;
    record.icon = AppInstanceHandle->icon;
    record.tip = TrayTip;
    record.title = AppInstanceHandle->title;
    record.menu = {{TrayQuitCommand, L"程序退出"}};
    return record;
}

// The program's real start-up. Errors are not caught: the steps after the
// failing one do not run.
LResult OnCreate(platform::WindowHandle window)
{
    // However the handler is left, the session frees the logger's name for
    // the update runs and closes the file, so no line waits unwritten.
    const ActivityLogSession session;
    const ActivityLog& log = session.log();
    log->info(logtext::StartSuccess);
    MainWindowHandle = window;
    SetupRoutine(log);
    platform::AddTrayIcon(MainTrayIcon(window));
    // The platform clamps what is too long.
    platform::SetTimer(CheckPeriodMilliseconds(CheckIntervalSeconds(ReadLocalConfig("Elasp"))), UpdateTimerProc);
    return 0;
}

LResult OnCommand(platform::WindowHandle window, platform::Message message, platform::WParam wparam,
                  platform::LParam lparam)
{
    switch (platform::LowWord(wparam)) {
    case AboutCommand: platform::ShowDialog(AppInstanceHandle->about_dialog, window, AboutDlgProc); return 0;
    case ExitCommand: platform::DestroyWindow(window); return 0;
    case TrayQuitCommand:
        // The tray menu's choice; the window itself stays until the process ends.
        platform::PostToWindow(window, platform::WmDestroy, 0, 0);
        return 0;
    default: return platform::DefaultWindowProcedure(window, message, wparam, lparam);
    }
}

}  // namespace

void ReportStartupFailure(platform::WindowHandle window, const std::string& reason)
{
    try {
        const ActivityLogSession session;
        session.log()->error(logtext::StartFailed, LogValue(reason));
    } catch (...) {
        // The log itself may be what could not be opened.
    }
    const std::wstring text = L"启动失败：" + platform::Utf8ToWide(reason);
    // Before the icon: while the box is open the thread answers no tray host.
    platform::ShowMessageBox(text, TrayTip, platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Information);
    platform::TrayIconRecord icon = MainTrayIcon(window);
    platform::DeleteTrayIcon(icon);
    icon.tip += L"\n" + text;
    platform::AddTrayIcon(icon);
}

LResult MainWndProc(platform::WindowHandle window, platform::Message message, platform::WParam wparam,
                    platform::LParam lparam)
{
    switch (message) {
    case platform::WmCreate: return OnCreate(window);
    case platform::WmDestroy:
        platform::DeleteTrayIcon(MainTrayIcon(window));
        platform::PostQuitMessage(0);
        return 0;
    case platform::WmCommand: return OnCommand(window, message, wparam, lparam);
    case TrayNotify:
        // The host shows the tray menu itself; its choice arrives as
        // TrayQuitCommand. Clicks on the icon do nothing.
        return 0;
    case UpdateNotice:
        ShowUpdateNotification(static_cast<std::int32_t>(wparam) != 0 ? L"Pelvane安装成功" : L"Pelvane更新成功");
        return 0;
    default: return platform::DefaultWindowProcedure(window, message, wparam, lparam);
    }
}
