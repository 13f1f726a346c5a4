#include "desktop/message_loop.h"

#include <gtest/gtest.h>
#include <systemd/sd-event.h>

#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

namespace desktop {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Received {
    Message message;
    WParam wparam;
    LParam lparam;
};

// What the window procedures and timer callbacks of a test saw; procedures
// are plain function pointers, so they report here.
std::vector<Received> received;
std::vector<Clock::time_point> ticks;
int ticks_before_quit = 0;
milliseconds busy_on_first_tick{0};
std::size_t messages_before_first_tick = 0;

LResult RecordingProcedure(WindowHandle, Message message, WParam wparam, LParam lparam)
{
    received.push_back({message, wparam, lparam});
    if (message == WmDestroy) PostQuitMessage(static_cast<int>(wparam) + 7);
    return 0;
}

void RecordingTimer(WindowHandle window, Message message, TimerId, std::uint32_t)
{
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(message, WmTimer);
    ticks.push_back(Clock::now());
    if (ticks.size() == 1) {
        messages_before_first_tick = received.size();
        std::this_thread::sleep_for(busy_on_first_tick);
    }
    if (static_cast<int>(ticks.size()) == ticks_before_quit) PostQuitMessage(0);
}

class MessageLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        received.clear();
        ticks.clear();
        ticks_before_quit = 0;
        busy_on_first_tick = milliseconds{0};
        messages_before_first_tick = 0;
    }
    MessageLoop loop;
};

TEST_F(MessageLoopTest, DispatchesPostedMessagesInOrderAndReturnsTheQuitCode)
{
    HiddenWindow window(loop, RecordingProcedure);
    ASSERT_TRUE(PostToWindow(&window, WmUser + 1, 10, 20));
    ASSERT_TRUE(PostToWindow(&window, WmUser + 2, 11, -21));
    ASSERT_TRUE(PostToWindow(&window, WmDestroy, 3, 0));

    EXPECT_EQ(loop.Run(), 10);
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].message, WmUser + 1);
    EXPECT_EQ(received[0].wparam, 10u);
    EXPECT_EQ(received[1].lparam, -21);
    EXPECT_EQ(received[2].message, WmDestroy);
}

TEST_F(MessageLoopTest, QuitComesAfterMessagesPostedBeforeIt)
{
    HiddenWindow window(loop, RecordingProcedure);
    PostQuitMessage(4);
    window.Post(WmUser, 0, 0);
    EXPECT_EQ(loop.Run(), 4);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, WmUser);
}

TEST_F(MessageLoopTest, SendCallsTheProcedureAtOnce)
{
    HiddenWindow window(loop, RecordingProcedure);
    window.Send(WmCreate, 0, 0);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, WmCreate);
}

TEST_F(MessageLoopTest, DestroyedWindowGetsWmDestroyOnceAndNothingAfter)
{
    HiddenWindow window(loop, RecordingProcedure);
    window.Post(WmUser, 0, 0);
    DestroyWindow(&window);
    DestroyWindow(&window);
    EXPECT_FALSE(PostToWindow(&window, WmUser, 0, 0));

    EXPECT_EQ(loop.Run(), 7);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, WmDestroy);
}

TEST_F(MessageLoopTest, TimerTicksFirstOnePeriodAfterStart)
{
    ticks_before_quit = 3;
    const auto start = Clock::now();
    EXPECT_NE(SetTimer(150, RecordingTimer), 0u);
    loop.Run();
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_GE(ticks[0] - start, milliseconds(150));
    EXPECT_GE(ticks[1] - ticks[0], milliseconds(140));
    EXPECT_GE(ticks[2] - ticks[1], milliseconds(140));
}

TEST_F(MessageLoopTest, ZeroPeriodIsRaisedToTheMinimum)
{
    ticks_before_quit = 2;
    const auto start = Clock::now();
    SetTimer(0, RecordingTimer);
    loop.Run();
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_GE(ticks[0] - start, milliseconds(TimerMinimumMs));
}

TEST_F(MessageLoopTest, TicksMissedWhileBusyCollapseIntoOne)
{
    ticks_before_quit = 3;
    busy_on_first_tick = milliseconds(400);  // twenty periods of wall-clock time missed
    SetTimer(20, RecordingTimer);
    loop.Run();
    ASSERT_EQ(ticks.size(), 3u);
    // One tick waits after the busy one; the next needs a full period again.
    EXPECT_GE(ticks[2] - ticks[1], milliseconds(15));
}

TEST_F(MessageLoopTest, PostedMessagesGoBeforeTimerTicks)
{
    HiddenWindow window(loop, RecordingProcedure);
    ticks_before_quit = 1;
    SetTimer(10, RecordingTimer);
    // Wall-clock time: only time makes the tick due before the messages come.
    std::this_thread::sleep_for(milliseconds(30));
    window.Post(WmUser, 0, 0);
    window.Post(WmUser, 0, 0);
    loop.Run();
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_EQ(messages_before_first_tick, 2u);
}

TEST_F(MessageLoopTest, TerminationSignalsPostTheMessage)
{
    HiddenWindow window(loop, RecordingProcedure);
    loop.PostOnTerminationSignals(window, WmDestroy);
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        received.clear();
        ASSERT_EQ(raise(number), 0);
        EXPECT_EQ(loop.Run(), 7);
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0].message, WmDestroy);
    }
}

TEST_F(MessageLoopTest, SignalsAfterTheWindowIsGoneDoNotEndTheProcess)
{
    {
        HiddenWindow window(loop, RecordingProcedure);
        loop.PostOnTerminationSignals(window, WmDestroy);
        DestroyWindow(&window);
        ASSERT_EQ(raise(SIGTERM), 0);
        EXPECT_EQ(loop.Run(), 7);
        ASSERT_EQ(raise(SIGINT), 0);
    }
    PostQuitMessage(3);
    EXPECT_EQ(loop.Run(), 3);
    EXPECT_EQ(received.size(), 1u);
}

// Other users of the thread's default sd-event loop (the D-Bus connections)
// are served by Run, and may run that loop themselves from a procedure.
class DefaultEventLoopTest : public MessageLoopTest {
protected:
    void AddPostingSource(HiddenWindow& window, Message message)
    {
        posted_window_ = &window;
        posted_message_ = message;
        ASSERT_GE(sd_event_default(&event_), 0);
        ASSERT_GE(sd_event_add_defer(event_, &source_, PostFromSource, this), 0);
    }
    void TearDown() override
    {
        sd_event_source_disable_unref(source_);
        sd_event_unref(event_);
    }

private:
    static int PostFromSource(sd_event_source*, void* userdata)
    {
        auto* test = static_cast<DefaultEventLoopTest*>(userdata);
        test->posted_window_->Post(test->posted_message_, 0, 0);
        return 0;
    }
    sd_event* event_ = nullptr;
    sd_event_source* source_ = nullptr;
    HiddenWindow* posted_window_ = nullptr;
    Message posted_message_ = 0;
};

LResult RunsTheEventLoopItself(WindowHandle window, Message message, WParam wparam, LParam lparam)
{
    sd_event* event = nullptr;
    EXPECT_GE(sd_event_default(&event), 0);
    EXPECT_GE(sd_event_run(event, 0), 0);
    sd_event_unref(event);
    return RecordingProcedure(window, message, wparam, lparam);
}

TEST_F(DefaultEventLoopTest, RunServesOtherSources)
{
    HiddenWindow window(loop, RecordingProcedure);
    AddPostingSource(window, WmDestroy);
    EXPECT_EQ(loop.Run(), 7);
    ASSERT_EQ(received.size(), 1u);
}

TEST_F(DefaultEventLoopTest, ProceduresMayRunTheEventLoopThemselves)
{
    HiddenWindow window(loop, RunsTheEventLoopItself);
    AddPostingSource(window, WmUser + 5);
    window.Post(WmUser, 0, 0);
    window.Post(WmDestroy, 0, 0);

    EXPECT_EQ(loop.Run(), 7);
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].message, WmUser);
    EXPECT_EQ(received[1].message, WmDestroy);
    EXPECT_EQ(received[2].message, WmUser + 5);
}

}  // namespace
}  // namespace desktop
