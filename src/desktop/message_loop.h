#pragma once
// The thread's message loop and the hidden
// window whose procedure it calls. Everything else the UI thread waits for
// (on Linux the D-Bus connections of the tray icon and the notifications) is
// dispatched by it on the same thread, between messages.
#include <cstdint>
#include <functional>
#include <memory>

#include "desktop/window.h"

namespace desktop {

using WindowProcedure = LResult (*)(WindowHandle window, Message message, WParam wparam, LParam lparam);
using TimerId = std::uintptr_t;
// The callback of a thread timer: no window, WmTimer, the timer's id and the
// tick count in milliseconds.
using TimerProcedure = void (*)(WindowHandle window, Message message, TimerId id, std::uint32_t time);

// The timer limits of Windows (USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM).
constexpr std::uint32_t TimerMinimumMs = 10;
constexpr std::uint32_t TimerMaximumMs = 0x7FFFFFFF;

class HiddenWindow;

// One per thread; the constructor makes it the thread's loop, which
// SetTimer and PostQuitMessage reach. Posted messages are dispatched in order,
// before timer ticks; the quit message ends Run once no posted message waits.
class MessageLoop {
public:
    MessageLoop();
    ~MessageLoop();
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    // The thread's loop, or null when the thread has none.
    static MessageLoop* Current();

    // Runs until the quit message arrives and returns its exit code.
    int Run();

    // Linux: a loop nested in Run, as a modal box runs on Windows. It
    // dispatches what Run does (posted messages, ticks, the D-Bus
    // connections) until `ended` returns true, which it asks again whenever
    // `wake_descriptor` becomes readable, or every 50 ms when that is -1.
    // False when the quit message came first: it stays for the outer loop,
    // and the box is to close.
    bool RunNested(int wake_descriptor, const std::function<bool()>& ended);

    void PostQuit(int exit_code);

    // A thread timer: the first tick comes one period after the start, and at
    // most one tick waits at any time, so ticks missed while the thread was
    // busy collapse into one. The period is clamped to the Windows limits.
    // A modal loop inside the procedure dispatches other timers' ticks, but
    // the procedure is never re-entered: its own tick waits until it returns.
    TimerId SetTimer(std::uint32_t period_ms, TimerProcedure procedure);

    // The system's requests to quit (SIGTERM, SIGINT and SIGHUP; on Windows
    // WM_CLOSE and the console's control events) post the message to the
    // window instead of ending the process; the end of a Windows session
    // sends it at once, since the process ends right after.
    void PostOnTerminationSignals(HiddenWindow& window, Message message);

private:
    friend class HiddenWindow;
    struct State;  // the system's loop, the timers and what waits
    std::unique_ptr<State> state_;
};

// A window that is never shown: it only receives messages.
class HiddenWindow final : public Window {
public:
    HiddenWindow(MessageLoop& loop, WindowProcedure procedure);
    ~HiddenWindow();
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    // Queues the message; false once the window is destroyed.
    bool Post(Message message, WParam wparam, LParam lparam) override;

    // Calls the procedure at once and returns its answer.
    LResult Send(Message message, WParam wparam, LParam lparam);

    // Sends WmDestroy; afterwards nothing more is posted.
    void Destroy();

    // The system's window behind it, 0 where there is none (Linux) or no more.
    std::uintptr_t NativeHandle() const { return native_handle_; }

private:
    friend struct MessageLoop::State;
    MessageLoop& loop_;
    WindowProcedure procedure_;
    bool destroyed_ = false;
    std::uintptr_t native_handle_ = 0;  // the system's window, where it has one
};

// Destroys a window of the loop, whose procedure gets WmDestroy; other
// windows are left alone.
void DestroyWindow(WindowHandle window);

// What a message the procedure does not handle gets: a hidden window has
// nothing to paint or size, so every such message simply returns 0.
LResult DefaultWindowProcedure(WindowHandle window, Message message, WParam wparam, LParam lparam);

// A timer on the thread's loop, tied to no window; 0 when the thread has none.
TimerId SetTimer(std::uint32_t period_ms, TimerProcedure procedure);

// Posts the quit message with `exit_code` to the thread's loop.
void PostQuitMessage(int exit_code);

}  // namespace desktop
