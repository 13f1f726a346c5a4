#include "app/main_window.h"
#include "app/main_window_proc.h"
#include "update/update_flow.h"

void UpdateTimerProc(desktop::WindowHandle, desktop::Message, desktop::TimerId, std::uint32_t)
{
    try {
        if (UpdateFlow().result == RunResult::kUpdated) desktop::PostToWindow(MainWindowHandle, UpdateNotice, 0, 0);
    } catch (...) {
        // Whatever ended the run, the timer goes on and the next tick retries.
    }
}
