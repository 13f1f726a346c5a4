#include "desktop/message_loop.h"

#include <pthread.h>
#include <sys/epoll.h>
#include <systemd/sd-event.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <system_error>
#include <vector>

namespace desktop {
namespace {

thread_local MessageLoop* current_loop = nullptr;

void ThrowIfFailed(int result, const char* call)
{
    if (result < 0) throw std::system_error(-result, std::generic_category(), call);
}

// GetTickCount: milliseconds of the monotonic clock, wrapping at 2^32.
std::uint32_t TickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
    return static_cast<std::uint32_t>(ms);
}

struct SourceDeleter {
    void operator()(sd_event_source* source) const { sd_event_source_disable_unref(source); }
};
using SourcePtr = std::unique_ptr<sd_event_source, SourceDeleter>;

constexpr std::uint64_t TimerAccuracyUs = 1000;
constexpr int TerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

struct EventDeleter {
    void operator()(sd_event* event) const { sd_event_unref(event); }
};

// How often a nested loop without a descriptor to wake it asks whether to end.
constexpr std::uint64_t NestedPollUs = 50000;

struct Timer {
    TimerId id;
    TimerProcedure procedure;
    std::uint64_t period_us;
    SourcePtr source;
    bool tick_pending = false;
    bool running = false;  // its procedure is on the stack, below a nested loop

    // Marks a tick as due and arms the next one a period from now.
    static int OnExpired(sd_event_source* source, std::uint64_t, void* userdata)
    {
        auto* timer = static_cast<Timer*>(userdata);
        timer->tick_pending = true;
        const int rearmed = sd_event_source_set_time_relative(source, timer->period_us);
        if (rearmed < 0) return rearmed;
        return sd_event_source_set_enabled(source, SD_EVENT_ON);
    }
};

struct Signal {
    HiddenWindow* window;
    Message message;
    SourcePtr source;

    static int OnSignal(sd_event_source*, const signalfd_siginfo*, void* userdata)
    {
        auto* signal = static_cast<Signal*>(userdata);
        signal->window->Post(signal->message, 0, 0);
        return 0;
    }
};

}  // namespace

// The loop runs on the thread's default sd-event loop, so every D-Bus
// connection attached to that loop is dispatched by it.
struct MessageLoop::State {
    struct PostedMessage {
        HiddenWindow* window;
        Message message;
        WParam wparam;
        LParam lparam;
    };

    std::unique_ptr<sd_event, EventDeleter> event;
    std::deque<PostedMessage> queue;
    std::vector<std::unique_ptr<Timer>> timers;
    std::vector<std::unique_ptr<Signal>> signals;
    bool quit_posted = false;
    int exit_code = 0;

    ~State()
    {
        // Sources go before the event loop they belong to.
        timers.clear();
        signals.clear();
    }

    bool DispatchPosted();
    bool DispatchDueTimer();
    void DropMessagesFor(const HiddenWindow& window);
    void WaitForEvents(std::uint64_t timeout_us);
};

MessageLoop::MessageLoop() : state_(std::make_unique<State>())
{
    sd_event* event = nullptr;
    ThrowIfFailed(sd_event_default(&event), "sd_event_default");
    state_->event.reset(event);
    current_loop = this;
}

MessageLoop::~MessageLoop()
{
    if (current_loop == this) current_loop = nullptr;
}

MessageLoop* MessageLoop::Current() { return current_loop; }

int MessageLoop::Run()
{
    State& state = *state_;
    for (;;) {
        if (state.DispatchPosted()) continue;
        if (state.quit_posted) {
            state.quit_posted = false;
            return state.exit_code;
        }
        if (state.DispatchDueTimer()) continue;
        state.WaitForEvents(UINT64_MAX);
    }
}

bool MessageLoop::RunNested(int wake_descriptor, const std::function<bool()>& ended)
{
    State& state = *state_;
    SourcePtr wake;
    if (wake_descriptor >= 0) {
        sd_event_source* source = nullptr;
        // Readiness only ends the wait; `ended` decides.
        ThrowIfFailed(sd_event_add_io(
                          state.event.get(), &source, wake_descriptor, EPOLLIN,
                          [](sd_event_source*, int, std::uint32_t, void*) { return 0; }, nullptr),
                      "sd_event_add_io");
        wake.reset(source);
    }
    for (;;) {
        if (ended()) return true;
        if (state.DispatchPosted()) continue;
        if (state.quit_posted) return false;
        if (state.DispatchDueTimer()) continue;
        state.WaitForEvents(wake ? UINT64_MAX : NestedPollUs);
    }
}

bool MessageLoop::State::DispatchPosted()
{
    if (queue.empty()) return false;
    const PostedMessage posted = queue.front();
    queue.pop_front();
    posted.window->Send(posted.message, posted.wparam, posted.lparam);
    return true;
}

// Waits for the next event; its callbacks only queue messages and mark ticks,
// so the window and timer procedures run from the loops, never from inside
// sd-event (they may run a nested loop themselves).
void MessageLoop::State::WaitForEvents(std::uint64_t timeout_us)
{
    ThrowIfFailed(sd_event_run(event.get(), timeout_us), "sd_event_run");
}

bool MessageLoop::State::DispatchDueTimer()
{
    for (const auto& timer : timers) {
        if (!timer->tick_pending || timer->running) continue;
        timer->tick_pending = false;
        timer->running = true;
        struct Returned {
            Timer& timer;
            ~Returned() { timer.running = false; }
        } returned{*timer};
        timer->procedure(nullptr, WmTimer, timer->id, TickCount());
        return true;
    }
    return false;
}

void MessageLoop::PostQuit(int exit_code)
{
    state_->quit_posted = true;
    state_->exit_code = exit_code;
}

TimerId MessageLoop::SetTimer(std::uint32_t period_ms, TimerProcedure procedure)
{
    const std::uint32_t clamped = std::clamp(period_ms, TimerMinimumMs, TimerMaximumMs);
    auto timer = std::make_unique<Timer>();
    timer->id = state_->timers.size() + 1;
    timer->procedure = procedure;
    timer->period_us = std::uint64_t{clamped} * 1000;

    sd_event_source* source = nullptr;
    ThrowIfFailed(sd_event_add_time_relative(state_->event.get(), &source, CLOCK_MONOTONIC, timer->period_us,
                                             TimerAccuracyUs, &Timer::OnExpired, timer.get()),
                  "sd_event_add_time_relative");
    timer->source.reset(source);
    state_->timers.push_back(std::move(timer));
    return state_->timers.back()->id;
}

void MessageLoop::PostOnTerminationSignals(HiddenWindow& window, Message message)
{
    // Blocked for good, so that they arrive as events; one that comes while
    // the program is quitting stays pending instead of ending it.
    sigset_t termination;
    sigemptyset(&termination);
    for (const int number : TerminationSignals) sigaddset(&termination, number);
    const int blocked = pthread_sigmask(SIG_BLOCK, &termination, nullptr);
    if (blocked != 0) throw std::system_error(blocked, std::generic_category(), "pthread_sigmask");

    for (const int number : TerminationSignals) {
        auto signal = std::make_unique<Signal>(Signal{&window, message, nullptr});
        sd_event_source* source = nullptr;
        ThrowIfFailed(sd_event_add_signal(state_->event.get(), &source, number, &Signal::OnSignal, signal.get()),
                      "sd_event_add_signal");
        signal->source.reset(source);
        state_->signals.push_back(std::move(signal));
    }
}

void MessageLoop::State::DropMessagesFor(const HiddenWindow& window)
{
    std::erase_if(queue, [&](const PostedMessage& posted) { return posted.window == &window; });
}

HiddenWindow::HiddenWindow(MessageLoop& loop, WindowProcedure procedure) : loop_(loop), procedure_(procedure) {}

HiddenWindow::~HiddenWindow()
{
    MessageLoop::State& state = *loop_.state_;
    state.DropMessagesFor(*this);
    std::erase_if(state.signals, [&](const auto& signal) { return signal->window == this; });
}

bool HiddenWindow::Post(Message message, WParam wparam, LParam lparam)
{
    if (destroyed_) return false;
    loop_.state_->queue.push_back({this, message, wparam, lparam});
    return true;
}

LResult HiddenWindow::Send(Message message, WParam wparam, LParam lparam)
{
    return procedure_(this, message, wparam, lparam);
}

void HiddenWindow::Destroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    // Signals stay caught: they now post to a window that takes nothing.
    loop_.state_->DropMessagesFor(*this);
    procedure_(this, WmDestroy, 0, 0);
}

}  // namespace desktop
