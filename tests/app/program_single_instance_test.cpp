#include <csignal>

#include "program_fixture.h"

namespace {

using namespace std::chrono_literals;

using SingleInstanceTest = ProgramTest;

TEST_F(SingleInstanceTest, SecondCopyEndsAtOnceWhileTheFirstRuns)
{
    WriteLocalConfig(R"("60")");
    auto first = Start("first");
    ASSERT_TRUE(WaitForTrayItem(*first));
    // The creation handler closes the log just after adding the icon.
    ASSERT_TRUE(Serve([&] { return !LogLinesWith("Start Sucess!").empty(); }));

    auto second = Start("second");
    EXPECT_EQ(second->Wait(testing_support::kEventWait), 0);
    EXPECT_EQ(second->Stdout(), "");
    EXPECT_EQ(second->Stderr(), "");

    EXPECT_FALSE(first->Exited());
    EXPECT_EQ(client().registered_items().size(), 1u) << "one tray icon";
    EXPECT_EQ(LogLinesWith("Start Sucess!").size(), 1u) << "the second copy writes no log line";
}

TEST_F(SingleInstanceTest, NewCopyStartsOnceTheFirstHasEnded)
{
    WriteLocalConfig(R"("60")");
    auto first = Start("first");
    ASSERT_TRUE(WaitForTrayItem(*first));
    first->Signal(SIGTERM);
    ASSERT_EQ(WaitForExit(*first), 0);

    auto next = Start("next");
    EXPECT_TRUE(WaitForTrayItem(*next));
    EXPECT_TRUE(Serve([&] { return LogLinesWith("Start Sucess!").size() == 2; }));
}

}  // namespace
