#include "update/host_detection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/process/child_process.h"
#include "support/named_child.h"

namespace {

using testing_support::NamedChild;
TEST(HostDetectionTest, FindsIllustratorByItsExecutableName)
{
    NamedChild illustrator("Illustrator.exe");
    ASSERT_TRUE(illustrator.started());
    EXPECT_TRUE(IsProcessRunning(L"Illustrator"));
    EXPECT_TRUE(IsProcessRunning(L"Illustrator.exe"));
    illustrator.Stop();
    EXPECT_FALSE(IsProcessRunning(L"Illustrator.exe"));
}

TEST(HostDetectionTest, FindsAWindowsPathShownByWine)
{
    NamedChild illustrator(
        "C:\\Program Files\\Adobe\\Adobe Illustrator 2024\\Support Files\\Contents\\Windows\\Illustrator.exe");
    ASSERT_TRUE(illustrator.started());
    EXPECT_TRUE(IsProcessRunning(L"Illustrator"));
    // The folder is not part of the executable file name.
    EXPECT_FALSE(IsProcessRunning(L"Adobe Illustrator 2024"));
}

TEST(HostDetectionTest, MatchesCaseSensitivelyAnywhereInTheName)
{
    NamedChild upper("ILLUSTRATOR.EXE");
    NamedChild lower("/opt/illustrator");
    NamedChild longer("MyIllustrator Helper.exe");
    ASSERT_TRUE(upper.started() && lower.started() && longer.started());
    EXPECT_TRUE(IsProcessRunning(L"ILLUSTRATOR.EXE"));
    EXPECT_TRUE(IsProcessRunning(L"Illustrator Helper"));
    EXPECT_FALSE(IsProcessRunning(L"Illustrator.exe"));
    EXPECT_FALSE(IsProcessRunning(L"illustrator.exe"));
}

TEST(HostDetectionTest, NonAsciiNamesAndTheEmptyName)
{
    NamedChild chinese("设计程序.exe");
    ASSERT_TRUE(chinese.started());
    EXPECT_TRUE(IsProcessRunning(L"设计程序"));
    EXPECT_TRUE(IsProcessRunning(L""));
}

TEST(HostDetectionTest, ProcessesEndingDuringTheWalkDoNotBreakIt)
{
    NamedChild illustrator("Illustrator.exe");
    ASSERT_TRUE(illustrator.started());
    std::atomic<bool> done{false};
    std::thread churn([&] {
        while (!done) platform::RunProgram({"/bin/true"});
    });
    int found = 0;
    for (int walk = 0; walk < 50; ++walk) found += IsProcessRunning(L"Illustrator.exe") ? 1 : 0;
    done = true;
    churn.join();
    EXPECT_EQ(found, 50);
}

}  // namespace
