// A loop nested in a timer's procedure, as a message box runs on Linux while
// a child process shows it: it serves the other timers and posted messages,
// wakes on the child's exit, never re-enters the procedure that opened it,
// and gives way to the quit message.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "desktop/message_loop.h"
#include "platform/process/child_process.h"
#include "support/temp_folder.h"

namespace desktop {
namespace {

struct NestedRun {
    std::filesystem::path flag;  // the child exits 3 once it exists
    int quit_at_other_tick = 0;  // 0: the other timer never quits
    int box_calls = 0;
    int box_calls_while_open = 0;
    int other_ticks = 0;
    int posted_seen = 0;
    bool ended_by_itself = false;
    std::optional<int> box_status;
};
NestedRun run;

LResult CountPosted(WindowHandle, Message, WParam, LParam)
{
    ++run.posted_seen;
    return 0;
}

void OtherTimer(WindowHandle, Message, TimerId, std::uint32_t)
{
    if (++run.other_ticks == 3) std::ofstream(run.flag).put('x');
    if (run.other_ticks == run.quit_at_other_tick) PostQuitMessage(5);
}

void BoxTimer(WindowHandle, Message, TimerId, std::uint32_t)
{
    if (++run.box_calls > 1) {
        PostQuitMessage(6);
        return;
    }
    platform::StartedProgram box({"sh", "-c", "while [ ! -e \"$0\" ]; do sleep 0.01; done; exit 3", run.flag.string()});
    ASSERT_TRUE(box.Started());
    ASSERT_GE(box.ExitDescriptor(), 0) << "no pidfd on this kernel";
    run.ended_by_itself = MessageLoop::Current()->RunNested(box.ExitDescriptor(), [&] {
        run.box_calls_while_open = std::max(run.box_calls_while_open, run.box_calls);
        return box.ExitStatus().has_value();
    });
    if (!run.ended_by_itself) box.End();
    run.box_status = box.ExitStatus();
}

class NestedLoopTest : public ::testing::Test {
protected:
    NestedLoopTest()
    {
        run = NestedRun{};
        run.flag = folder_.path() / "box-may-close";
    }

    testing_support::TempFolder folder_;
    MessageLoop loop;
};

TEST_F(NestedLoopTest, ServesTheThreadUntilTheChildExitsWithoutReenteringItsTimer)
{
    HiddenWindow window(loop, CountPosted);
    window.Post(WmUser, 0, 0);
    loop.SetTimer(10, BoxTimer);
    loop.SetTimer(10, OtherTimer);
    EXPECT_EQ(loop.Run(), 6);
    EXPECT_TRUE(run.ended_by_itself);
    EXPECT_EQ(run.box_status, 3);
    EXPECT_GE(run.other_ticks, 3);
    EXPECT_EQ(run.box_calls_while_open, 1) << "the box's own tick came into the box";
    EXPECT_EQ(run.box_calls, 2) << "its tick waits until the procedure returns";
    EXPECT_EQ(run.posted_seen, 1);
}

TEST_F(NestedLoopTest, TheQuitMessageClosesTheBoxAndEndsTheOuterLoop)
{
    run.quit_at_other_tick = 2;  // before the child may exit
    loop.SetTimer(10, BoxTimer);
    loop.SetTimer(10, OtherTimer);
    EXPECT_EQ(loop.Run(), 5);
    EXPECT_FALSE(run.ended_by_itself);
    EXPECT_EQ(run.box_status, -1);
    EXPECT_EQ(run.box_calls, 1);
}

}  // namespace
}  // namespace desktop
