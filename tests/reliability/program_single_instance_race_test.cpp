// Ten copies of the real program started at once: exactly one stays.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/program_fixture.h"

namespace {

using SingleInstanceRaceTest = ProgramTest;

TEST_F(SingleInstanceRaceTest, TenCopiesStartedAtOnceLeaveExactlyOneRunning)
{
    WriteLocalConfig(R"("60")");
    std::vector<std::unique_ptr<ChildProcess>> copies;
    for (int i = 0; i < 10; ++i) copies.push_back(Start("copy" + std::to_string(i)));

    const auto exited = [&] {
        return std::count_if(copies.begin(), copies.end(), [](const auto& copy) { return copy->Exited(); });
    };
    ASSERT_TRUE(Serve([&] { return exited() == 9 && client().registered_items().size() == 1; }))
        << exited() << " copies ended";
    EXPECT_EQ(exited(), 9);
    for (auto& copy : copies) {
        if (!copy->Exited()) {
            EXPECT_EQ(client().registered_items().front(), ItemName(*copy));
            continue;
        }
        EXPECT_EQ(copy->Wait(std::chrono::milliseconds(0)), 0);
        EXPECT_EQ(copy->Stderr(), "");
    }
    EXPECT_EQ(client().registered_items().size(), 1u);
    EXPECT_EQ(LogLinesWith("Start Sucess!").size(), 1u);
}

}  // namespace
