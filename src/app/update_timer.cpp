#include "app/main_window_proc.h"
#include "update/update_flow.h"

void UpdateTimerProc(platform::WindowHandle, platform::Message, platform::TimerId, std::uint32_t)
{
    try {
        UpdateFlow();
    } catch (...) {
        // Whatever ended the run, the timer goes on and the next tick retries.
    }
}
