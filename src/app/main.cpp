// Entry point: one copy per machine, the hidden main window, the message loop.
// The program takes no arguments and always exits with 0.
#include <cstdio>
#include <exception>
#include <string>

#include "app/app_resources.h"
#include "app/main_window_proc.h"
#include "desktop/message_loop.h"
#include "platform/process/single_instance.h"

namespace {

// The creation handler catches nothing; what leaves it stops the start-up
// where it happened, and the program goes on with its tray icon telling why.
void CreateMainWindow(desktop::HiddenWindow& window)
{
    std::string reason;
    try {
        window.Send(desktop::WmCreate, 0, 0);
        return;
    } catch (const std::exception& error) {
        reason = error.what();
    } catch (...) {
        reason = "an unknown error";
    }
    std::fprintf(stderr, "MerroUpdate: start-up stopped: %s\n", reason.c_str());
    ReportStartupFailure(&window, reason);
}

int RunMainWindow()
{
    desktop::MessageLoop loop;
    desktop::HiddenWindow window(loop, MainWndProc);
    // Logging out or `kill` quits like the tray menu: the icon goes first.
    loop.PostOnTerminationSignals(window, desktop::WmDestroy);
    CreateMainWindow(window);
    return loop.Run();
}

}  // namespace

int main()
{
    const platform::InstanceGuard guard("MerroUpdate");
    if (guard.AnotherCopyRuns()) return 0;

    AppInstanceHandle = LoadAppResources();
    try {
        return RunMainWindow();
    } catch (const std::exception& error) {
        // No event loop to run on: the program ends as if it had no window.
        std::fprintf(stderr, "MerroUpdate: %s\n", error.what());
        return 0;
    }
}
