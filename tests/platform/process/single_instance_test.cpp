#include "platform/process/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/child_process.h"

namespace platform {
namespace {

// A name of the test's own, so it never meets a running program.
std::string TestName() { return "MerroUpdateTest-" + std::to_string(getpid()); }

void Reap(pid_t child)
{
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
}

TEST(InstanceGuardTest, SecondClaimOfTheNameSeesAnotherCopy)
{
    const InstanceGuard first(TestName());
    EXPECT_FALSE(first.AnotherCopyRuns());
    const InstanceGuard second(TestName());
    EXPECT_TRUE(second.AnotherCopyRuns());
    const InstanceGuard other("MerroUpdateOther-" + std::to_string(getpid()));
    EXPECT_FALSE(other.AnotherCopyRuns());
}

TEST(InstanceGuardTest, NameIsFreeOnceTheGuardEnds)
{
    {
        const InstanceGuard first(TestName());
    }
    const InstanceGuard again(TestName());
    EXPECT_FALSE(again.AnotherCopyRuns());
}

TEST(InstanceGuardTest, KilledHolderFreesTheName)
{
    const std::string name = TestName();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const InstanceGuard held(name);
        const char byte = held.AnotherCopyRuns() ? 'n' : 'y';
        if (write(ready[1], &byte, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    EXPECT_EQ(byte, 'y');
    EXPECT_TRUE(InstanceGuard(name).AnotherCopyRuns());
    Reap(child);
    EXPECT_FALSE(InstanceGuard(name).AnotherCopyRuns());
}

// The exit code of a child that claims the name twice as another user: 0
// when its first claim succeeds and its second sees the first.
int ClaimTwiceAsUser(const std::string& name, uid_t user)
{
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (setgid(user) != 0 || setuid(user) != 0) _exit(3);
        const InstanceGuard first(name);
        if (first.AnotherCopyRuns()) _exit(1);
        const InstanceGuard second(name);
        _exit(second.AnotherCopyRuns() ? 0 : 2);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(InstanceGuardTest, OneCopyPerUser)
{
    if (geteuid() != 0) GTEST_SKIP() << "running a copy as a second user needs root";
    const std::string name = TestName();
    const InstanceGuard ours(name);
    ASSERT_FALSE(ours.AnotherCopyRuns());
    // Another user: the kernel needs no account behind the id.
    const uid_t second_user = 54321;
    EXPECT_EQ(ClaimTwiceAsUser(name, second_user), 0);
    EXPECT_TRUE(InstanceGuard(name).AnotherCopyRuns());
}

TEST(InstanceGuardTest, ProgramsStartedMeanwhileDoNotKeepTheName)
{
    std::unique_ptr<testing_support::ChildProcess> child;
    {
        const InstanceGuard held(TestName());
        child = testing_support::ChildProcess::Start({"sleep", "30"});
        ASSERT_TRUE(child);
    }
    EXPECT_FALSE(InstanceGuard(TestName()).AnotherCopyRuns());
}

}  // namespace
}  // namespace platform
