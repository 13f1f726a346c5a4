// The message loop of Windows itself: a real top-level window that is never
// shown (not HWND_MESSAGE: broadcasts such as "TaskbarCreated" reach only
// top-level windows), thread timers, GetMessageW / DispatchMessageW. The
// system's own queue gives the order the header promises: posted messages
// before WM_TIMER, WM_QUIT once no posted message waits, and at most one
// WM_TIMER per timer.
#include "desktop/message_loop.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <system_error>
#include <utility>
#include <vector>

#include "desktop/message_loop_win.h"

namespace desktop {
namespace {

constexpr const wchar_t* WindowClassName = L"MerroUpdate.HiddenWindow";
constexpr const wchar_t* WindowTitle = L"MerroUpdate";

// The first number Windows hands out to RegisterWindowMessageW: messages
// from WM_USER up to it are the program's own (WM_USER and WM_APP ranges).
constexpr UINT RegisteredMessageBase = 0xC000;

thread_local MessageLoop* current_loop = nullptr;

[[noreturn]] void ThrowLastError(const char* call)
{
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), call);
}

std::vector<NativeMessageHook>& MessageHooks()
{
    static std::vector<NativeMessageHook> hooks;
    return hooks;
}

// Where the console's control events go: set by PostOnTerminationSignals,
// read by the handler, which the system runs on a thread of its own.
std::atomic<HWND> console_target{nullptr};
std::atomic<UINT> console_message{0};

BOOL WINAPI OnConsoleControl(DWORD event) noexcept
{
    const HWND target = console_target.load();
    if (target == nullptr) return FALSE;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: return ::PostMessageW(target, console_message.load(), 0, 0) ? TRUE : FALSE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        if (!::PostMessageW(target, console_message.load(), 0, 0)) return FALSE;
        // The process ends as soon as this handler returns: wait here, so
        // the UI thread quits the program itself (the system ends it anyway
        // once its time-out passes).
        ::Sleep(INFINITE);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

struct MessageLoop::State {
    struct Termination {
        HiddenWindow* window;
        Message message;
    };
    // The window HiddenWindow::Destroy is destroying, so that its WM_DESTROY
    // is told apart from a posted WmDestroy (the program's request to quit).
    struct Destroying {
        HiddenWindow* window;
        bool delivered = false;
    };

    struct Timer {
        TimerProcedure procedure;
        bool running = false;  // its procedure is on the stack, below a modal loop
        bool missed = false;   // a tick came meanwhile
    };

    DWORD thread_id = ::GetCurrentThreadId();
    std::map<TimerId, Timer> timers;
    std::vector<Termination> terminations;
    Destroying* destroying = nullptr;
    // What a procedure threw while the system called it: it cannot cross the
    // system's frames, so it is held and thrown again once they are left.
    std::exception_ptr failure;

    static const wchar_t* RegisterWindowClass();
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    static void CALLBACK TimerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD time) noexcept;

    LRESULT Dispatch(HiddenWindow& window, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    const Termination* TerminationFor(const HiddenWindow& window) const;
    void HoldFailure() noexcept
    {
        if (!failure) failure = std::current_exception();
    }
    void RethrowFailure()
    {
        if (failure) std::rethrow_exception(std::exchange(failure, nullptr));
    }
};

const wchar_t* MessageLoop::State::RegisterWindowClass()
{
    struct Registration {
        ATOM atom;
        DWORD error;
    };
    // Once per process.
    static const Registration registration = [] {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = &State::WindowProc;
        window_class.hInstance = ::GetModuleHandleW(nullptr);
        window_class.lpszClassName = WindowClassName;
        const ATOM atom = ::RegisterClassExW(&window_class);
        return Registration{atom, atom == 0 ? ::GetLastError() : 0};
    }();
    if (registration.atom == 0) {
        throw std::system_error(static_cast<int>(registration.error), std::system_category(), "RegisterClassExW");
    }
    return WindowClassName;
}

LRESULT CALLBACK MessageLoop::State::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept
{
    if (message == WM_NCCREATE) {
        auto* window = static_cast<HiddenWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
        window->native_handle_ = reinterpret_cast<std::uintptr_t>(hwnd);
        return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }
    auto* window = reinterpret_cast<HiddenWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (window == nullptr) return ::DefWindowProcW(hwnd, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        window->native_handle_ = 0;
        window->destroyed_ = true;
        return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }
    State& state = *window->loop_.state_;
    try {
        for (const NativeMessageHook hook : MessageHooks()) {
            LRESULT result = 0;
            if (hook(hwnd, message, wparam, lparam, result)) return result;
        }
        return state.Dispatch(*window, hwnd, message, wparam, lparam);
    } catch (...) {
        state.HoldFailure();
        return 0;
    }
}

// What the program's procedure gets: WM_DESTROY, WM_COMMAND and the
// program's own messages (WM_USER up to the registered ones). The system's
// other messages go to DefWindowProcW, WM_CREATE included: the program sends
// its WmCreate itself once the window is set up.
LRESULT MessageLoop::State::Dispatch(HiddenWindow& window, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_DESTROY:
        if (destroying != nullptr && destroying->window == &window) {
            destroying->delivered = true;
            return window.procedure_(&window, WmDestroy, 0, 0);
        }
        // Not DestroyWindow: a posted WmDestroy. The window stays.
        if (!window.destroyed_) window.procedure_(&window, WmDestroy, wparam, lparam);
        return 0;
    case WM_CLOSE:
        if (const Termination* termination = TerminationFor(window)) {
            window.Post(termination->message, 0, 0);
        } else {
            window.Destroy();  // what DefWindowProcW does, through the one path
        }
        return 0;
    case WM_ENDSESSION:
        // The system may end the process as soon as this returns, so the quit
        // is handled now rather than posted.
        if (wparam != 0) {
            if (const Termination* termination = TerminationFor(window)) window.Send(termination->message, 0, 0);
        }
        return 0;
    case WM_COMMAND: return window.procedure_(&window, WmCommand, wparam, lparam);
    default:
        if (message >= WM_USER && message < RegisteredMessageBase) {
            return window.procedure_(&window, message, wparam, lparam);
        }
        return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }
}

void CALLBACK MessageLoop::State::TimerProc(HWND, UINT, UINT_PTR id, DWORD time) noexcept
{
    MessageLoop* loop = current_loop;
    if (loop == nullptr) return;
    State& state = *loop->state_;
    const auto found = state.timers.find(id);
    if (found == state.timers.end()) return;
    // A modal loop inside the procedure dispatches WM_TIMER too: its tick
    // waits until the procedure has returned, and then runs once.
    Timer& timer = found->second;
    if (timer.running) {
        timer.missed = true;
        return;
    }
    timer.running = true;
    do {
        timer.missed = false;
        try {
            timer.procedure(nullptr, WmTimer, id, time);
        } catch (...) {
            state.HoldFailure();
        }
    } while (timer.missed && !state.failure);
    timer.running = false;
}

const MessageLoop::State::Termination* MessageLoop::State::TerminationFor(const HiddenWindow& window) const
{
    const auto found = std::find_if(terminations.begin(), terminations.end(),
                                    [&](const Termination& termination) { return termination.window == &window; });
    return found == terminations.end() ? nullptr : &*found;
}

MessageLoop::MessageLoop() : state_(std::make_unique<State>())
{
    // Makes the thread's message queue now, so that messages posted to the
    // thread before Run are kept.
    MSG message;
    ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    current_loop = this;
}

MessageLoop::~MessageLoop()
{
    for (const auto& timer : state_->timers) ::KillTimer(nullptr, timer.first);
    if (current_loop == this) current_loop = nullptr;
}

MessageLoop* MessageLoop::Current() { return current_loop; }

int MessageLoop::Run()
{
    State& state = *state_;
    state.RethrowFailure();
    MSG message{};
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) ThrowLastError("GetMessageW");
        if (got == 0) return static_cast<int>(message.wParam);
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
        state.RethrowFailure();
    }
}

void MessageLoop::PostQuit(int exit_code)
{
    if (::GetCurrentThreadId() == state_->thread_id) {
        ::PostQuitMessage(exit_code);
    } else {
        ::PostThreadMessageW(state_->thread_id, WM_QUIT, static_cast<WPARAM>(exit_code), 0);
    }
}

TimerId MessageLoop::SetTimer(std::uint32_t period_ms, TimerProcedure procedure)
{
    const std::uint32_t clamped = std::clamp(period_ms, TimerMinimumMs, TimerMaximumMs);
    const UINT_PTR id = ::SetTimer(nullptr, 0, clamped, &State::TimerProc);
    if (id == 0) ThrowLastError("SetTimer");
    state_->timers[id] = {procedure};
    return id;
}

void MessageLoop::PostOnTerminationSignals(HiddenWindow& window, Message message)
{
    auto& terminations = state_->terminations;
    std::erase_if(terminations, [&](const State::Termination& termination) { return termination.window == &window; });
    terminations.push_back({&window, message});

    console_message.store(message);
    console_target.store(NativeWindow(&window));
    static const bool console_handler = ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE) != FALSE;
    static_cast<void>(console_handler);
}

HiddenWindow::HiddenWindow(MessageLoop& loop, WindowProcedure procedure) : loop_(loop), procedure_(procedure)
{
    const wchar_t* class_name = MessageLoop::State::RegisterWindowClass();
    // Never shown: no WS_VISIBLE, and nothing ever calls ShowWindow.
    const HWND hwnd = ::CreateWindowExW(0, class_name, WindowTitle, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), this);
    if (hwnd == nullptr) ThrowLastError("CreateWindowExW");
}

HiddenWindow::~HiddenWindow()
{
    MessageLoop::State& state = *loop_.state_;
    std::erase_if(state.terminations, [&](const auto& termination) { return termination.window == this; });
    const auto hwnd = reinterpret_cast<HWND>(native_handle_);
    if (hwnd == nullptr) return;
    HWND expected = hwnd;
    console_target.compare_exchange_strong(expected, nullptr);
    // Detached first: the procedure hears nothing of this.
    destroyed_ = true;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    native_handle_ = 0;
    ::DestroyWindow(hwnd);
}

bool HiddenWindow::Post(Message message, WParam wparam, LParam lparam)
{
    if (destroyed_ || native_handle_ == 0) return false;
    return ::PostMessageW(reinterpret_cast<HWND>(native_handle_), message, wparam, lparam) != FALSE;
}

LResult HiddenWindow::Send(Message message, WParam wparam, LParam lparam)
{
    return procedure_(this, message, wparam, lparam);
}

void HiddenWindow::Destroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    MessageLoop::State& state = *loop_.state_;
    MessageLoop::State::Destroying destroying{this};
    if (native_handle_ != 0) {
        MessageLoop::State::Destroying* previous = std::exchange(state.destroying, &destroying);
        ::DestroyWindow(reinterpret_cast<HWND>(native_handle_));
        state.destroying = previous;
    }
    // Without a system window (or if DestroyWindow failed) the procedure
    // still hears of the end, as the header promises.
    if (!destroying.delivered) procedure_(this, WmDestroy, 0, 0);
    state.RethrowFailure();
}

HWND NativeWindow(WindowHandle window)
{
    const auto* hidden = dynamic_cast<const HiddenWindow*>(window);
    return hidden ? reinterpret_cast<HWND>(hidden->NativeHandle()) : nullptr;
}

void AddNativeMessageHook(NativeMessageHook hook)
{
    auto& hooks = MessageHooks();
    if (hook != nullptr && std::find(hooks.begin(), hooks.end(), hook) == hooks.end()) hooks.push_back(hook);
}

}  // namespace desktop
