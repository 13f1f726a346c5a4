#include "platform/message_loop.h"

#include <pthread.h>
#include <systemd/sd-event.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <system_error>

namespace platform {
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

}  // namespace

struct MessageLoop::Timer {
    TimerId id;
    TimerProcedure procedure;
    std::uint64_t period_us;
    SourcePtr source;
    bool tick_pending = false;

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

struct MessageLoop::Signal {
    MessageLoop* loop;
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

void MessageLoop::EventDeleter::operator()(sd_event* event) const
{
    sd_event_unref(event);
}

MessageLoop::MessageLoop()
{
    sd_event* event = nullptr;
    ThrowIfFailed(sd_event_default(&event), "sd_event_default");
    event_.reset(event);
    current_loop = this;
}

MessageLoop::~MessageLoop()
{
    // Sources go before the event loop they belong to.
    timers_.clear();
    signals_.clear();
    if (current_loop == this) current_loop = nullptr;
}

MessageLoop* MessageLoop::Current()
{
    return current_loop;
}

int MessageLoop::Run()
{
    for (;;) {
        if (!queue_.empty()) {
            const PostedMessage posted = queue_.front();
            queue_.pop_front();
            posted.window->Send(posted.message, posted.wparam, posted.lparam);
            continue;
        }
        if (quit_posted_) {
            quit_posted_ = false;
            return exit_code_;
        }
        if (DispatchDueTimer()) continue;
        // Waits for the next event; its callbacks only queue messages and mark
        // ticks, so the window and timer procedures run from here, never from
        // inside sd-event (they may run the event loop themselves).
        ThrowIfFailed(sd_event_run(event_.get(), UINT64_MAX), "sd_event_run");
    }
}

bool MessageLoop::DispatchDueTimer()
{
    for (const auto& timer : timers_) {
        if (!timer->tick_pending) continue;
        timer->tick_pending = false;
        timer->procedure(nullptr, WM_TIMER, timer->id, TickCount());
        return true;
    }
    return false;
}

void MessageLoop::PostQuit(int exit_code)
{
    quit_posted_ = true;
    exit_code_ = exit_code;
}

TimerId MessageLoop::SetTimer(std::uint32_t period_ms, TimerProcedure procedure)
{
    const std::uint32_t clamped = std::clamp(period_ms, TimerMinimumMs, TimerMaximumMs);
    auto timer = std::make_unique<Timer>();
    timer->id = timers_.size() + 1;
    timer->procedure = procedure;
    timer->period_us = std::uint64_t{clamped} * 1000;

    sd_event_source* source = nullptr;
    ThrowIfFailed(sd_event_add_time_relative(event_.get(), &source, CLOCK_MONOTONIC, timer->period_us,
                                             TimerAccuracyUs, &Timer::OnExpired, timer.get()),
                  "sd_event_add_time_relative");
    timer->source.reset(source);
    timers_.push_back(std::move(timer));
    return timers_.back()->id;
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
        auto signal = std::make_unique<Signal>(Signal{this, &window, message, nullptr});
        sd_event_source* source = nullptr;
        ThrowIfFailed(sd_event_add_signal(event_.get(), &source, number, &Signal::OnSignal, signal.get()),
                      "sd_event_add_signal");
        signal->source.reset(source);
        signals_.push_back(std::move(signal));
    }
}

void MessageLoop::Enqueue(const PostedMessage& message)
{
    queue_.push_back(message);
}

void MessageLoop::DropMessagesFor(const HiddenWindow& window)
{
    std::erase_if(queue_, [&](const PostedMessage& posted) { return posted.window == &window; });
}

void MessageLoop::Forget(const HiddenWindow& window)
{
    DropMessagesFor(window);
    std::erase_if(signals_, [&](const auto& signal) { return signal->window == &window; });
}

HiddenWindow::HiddenWindow(MessageLoop& loop, WindowProcedure procedure) : loop_(loop), procedure_(procedure)
{
}

HiddenWindow::~HiddenWindow()
{
    loop_.Forget(*this);
}

bool HiddenWindow::Post(Message message, WParam wparam, LParam lparam)
{
    if (destroyed_) return false;
    loop_.Enqueue({this, message, wparam, lparam});
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
    loop_.DropMessagesFor(*this);
    procedure_(this, WM_DESTROY, 0, 0);
}

void DestroyWindow(WindowHandle window)
{
    if (auto* hidden = dynamic_cast<HiddenWindow*>(window)) hidden->Destroy();
}

LResult DefWindowProc(WindowHandle, Message, WParam, LParam)
{
    return 0;
}

TimerId SetTimer(std::uint32_t period_ms, TimerProcedure procedure)
{
    MessageLoop* loop = MessageLoop::Current();
    return loop ? loop->SetTimer(period_ms, procedure) : 0;
}

void PostQuitMessage(int exit_code)
{
    if (MessageLoop* loop = MessageLoop::Current()) loop->PostQuit(exit_code);
}

}  // namespace platform
