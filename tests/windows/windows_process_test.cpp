// The single-instance mutex and the process list of the Windows backends.
#include <gtest/gtest.h>

#include "platform/process/single_instance.h"
#include "support/named_child.h"
#include "update/host_detection.h"

namespace {

using testing_support::NamedChild;
TEST(WindowsInstanceGuardTest, SecondClaimSeesTheFirstAndTheNameIsFreedWithIt)
{
    {
        const platform::InstanceGuard first("MerroUpdateGuardTest");
        ASSERT_FALSE(first.AnotherCopyRuns());
        const platform::InstanceGuard second("MerroUpdateGuardTest");
        EXPECT_TRUE(second.AnotherCopyRuns());
    }
    const platform::InstanceGuard again("MerroUpdateGuardTest");
    EXPECT_FALSE(again.AnotherCopyRuns());
}

TEST(WindowsHostDetectionTest, FindsARenamedProgramByItsExecutableName)
{
    EXPECT_FALSE(IsProcessRunning(L"Illustrator.exe"));
    NamedChild illustrator("Illustrator.exe");
    ASSERT_TRUE(illustrator.started());
    EXPECT_TRUE(IsProcessRunning(L"Illustrator.exe"));
    EXPECT_TRUE(IsProcessRunning(L"llustrator.ex"));
    EXPECT_FALSE(IsProcessRunning(L"illustrator.exe"));
    illustrator.Stop();
    EXPECT_FALSE(IsProcessRunning(L"Illustrator.exe"));
}

}  // namespace
