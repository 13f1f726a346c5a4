#include "app/main_window_proc.h"

#include "app/app_resources.h"
#include "app/host_warning.h"
#include "app/main_window.h"
#include "app/service_display.h"
#include "desktop/tray/tray_icon.h"
#include "notify/update_notification.h"
#include "platform/base/text.h"
#include "update/check_interval.h"
#include "update/local_config.h"
#include "update/log/activity_log.h"
#include "update/log/log_value.h"
#include "update/package_installation.h"
#include "update/paths.h"

namespace {

using desktop::LResult;

// The tray tip's first line; a second one can follow after a line feed.
constexpr const wchar_t* TrayTip = L"Pelvane更新程序";

// The same record adds and deletes the icon.
desktop::TrayIconRecord MainTrayIcon(desktop::WindowHandle window)
{
    desktop::TrayIconRecord record;
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
// failing one do not run. Where the service is installed it does the work,
// and the program only shows what it did.
LResult OnCreate(desktop::WindowHandle window)
{
    if (const auto service_folder = InstalledServiceFolder()) {
        desktop::AddTrayIcon(MainTrayIcon(window));
        StartServiceDisplay(window, *service_folder);
        return 0;
    }
    // However the handler is left, the session frees the logger's name for
    // the update runs and closes the file, so no line waits unwritten.
    const ActivityLogSession session;
    const ActivityLog& log = session.log();
    log->info(logtext::StartSuccess);
    MainWindowHandle = window;
    if (SetupRoutine(log, ShowHostRunningWarning).result == RunResult::kInstalled) {
        desktop::PostToWindow(window, UpdateNotice, 1, 0);
    }
    desktop::AddTrayIcon(MainTrayIcon(window));
    // The platform clamps what is too long.
    desktop::SetTimer(CheckPeriodMilliseconds(CheckIntervalSeconds(ReadLocalConfig("Elasp"))), UpdateTimerProc);
    return 0;
}

LResult OnCommand(desktop::WindowHandle window, desktop::Message message, desktop::WParam wparam,
                  desktop::LParam lparam)
{
    switch (desktop::LowWord(wparam)) {
    case AboutCommand: desktop::ShowDialog(AppInstanceHandle->about_dialog, window, AboutDlgProc); return 0;
    case ExitCommand: desktop::DestroyWindow(window); return 0;
    case TrayQuitCommand:
        // The tray menu's choice; the window itself stays until the process ends.
        desktop::PostToWindow(window, desktop::WmDestroy, 0, 0);
        return 0;
    default: return desktop::DefaultWindowProcedure(window, message, wparam, lparam);
    }
}

}  // namespace

void ReportStartupFailure(desktop::WindowHandle window, const std::string& reason)
{
    try {
        const ActivityLogSession session;
        session.log()->error(logtext::StartFailed, LogValue(reason));
    } catch (...) {
        // The log itself may be what could not be opened.
    }
    const std::wstring text = L"启动失败：" + platform::Utf8ToWide(reason);
    desktop::TrayIconRecord icon = MainTrayIcon(window);
    desktop::DeleteTrayIcon(icon);
    icon.tip += L"\n" + text;
    desktop::AddTrayIcon(icon);
    // The box's modal loop serves the icon, so its menu can quit meanwhile.
    desktop::ShowMessageBox(text, TrayTip, desktop::MessageBoxButtons::Ok, desktop::MessageBoxIcon::Information);
}

LResult MainWndProc(desktop::WindowHandle window, desktop::Message message, desktop::WParam wparam,
                    desktop::LParam lparam)
{
    switch (message) {
    case desktop::WmCreate: return OnCreate(window);
    case desktop::WmDestroy:
        desktop::DeleteTrayIcon(MainTrayIcon(window));
        desktop::PostQuitMessage(0);
        return 0;
    case desktop::WmCommand: return OnCommand(window, message, wparam, lparam);
    case TrayNotify:
        // The host shows the tray menu itself; its choice arrives as
        // TrayQuitCommand. Clicks on the icon do nothing.
        return 0;
    case ServiceChangeNotice: AnnounceServiceChange(); return 0;
    case UpdateNotice:
        ShowUpdateNotification(static_cast<std::int32_t>(wparam) != 0 ? L"Pelvane安装成功" : L"Pelvane更新成功");
        return 0;
    default: return desktop::DefaultWindowProcedure(window, message, wparam, lparam);
    }
}
