#include "platform/process/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/child_process.h"
#include "support/temp_folder.h"

namespace platform {
namespace {

// A name of the test's own, so it never meets a running program.
std::string TestName() { return "MerroUpdateTest-" + std::to_string(getpid()); }

namespace fs = std::filesystem;

// The working folder is the current directory, and the user's private
// runtime folder is inside it.
class InstanceGuardTest : public ::testing::Test {
protected:
    InstanceGuardTest() : runtime_("XDG_RUNTIME_DIR", Runtime().string())
    {
        fs::create_directory(Runtime());
        fs::permissions(Runtime(), fs::perms::owner_all);
    }

    fs::path Runtime() const { return work_.path() / "runtime"; }

    testing_support::WorkFolder work_;
    testing_support::ScopedEnvironment runtime_;
};

void Reap(pid_t child)
{
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
}

TEST_F(InstanceGuardTest, SecondClaimOfTheNameSeesAnotherCopy)
{
    const InstanceGuard first(TestName());
    EXPECT_FALSE(first.AnotherCopyRuns());
    const InstanceGuard second(TestName());
    EXPECT_TRUE(second.AnotherCopyRuns());
    const InstanceGuard other("MerroUpdateOther-" + std::to_string(getpid()));
    EXPECT_FALSE(other.AnotherCopyRuns());
}

TEST_F(InstanceGuardTest, NameIsFreeOnceTheGuardEnds)
{
    {
        const InstanceGuard first(TestName());
    }
    const InstanceGuard again(TestName());
    EXPECT_FALSE(again.AnotherCopyRuns());
}

TEST_F(InstanceGuardTest, KilledHolderFreesTheName)
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

// The exit code of a child that claims the name twice as another user with
// a runtime folder of its own: 0 when its first claim succeeds and its
// second sees the first.
int ClaimTwiceAsUser(const std::string& name, uid_t user, const fs::path& runtime)
{
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    if (chown(runtime.c_str(), user, user) != 0) return -1;
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (setgid(user) != 0 || setuid(user) != 0) _exit(3);
        if (setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1) != 0) _exit(4);
        const InstanceGuard first(name);
        if (first.AnotherCopyRuns()) _exit(1);
        const InstanceGuard second(name);
        _exit(second.AnotherCopyRuns() ? 0 : 2);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST_F(InstanceGuardTest, OneCopyPerUser)
{
    if (geteuid() != 0) GTEST_SKIP() << "running a copy as a second user needs root";
    const std::string name = TestName();
    const InstanceGuard ours(name);
    ASSERT_FALSE(ours.AnotherCopyRuns());
    // Another user: the kernel needs no account behind the id.
    const uid_t second_user = 54321;
    EXPECT_EQ(ClaimTwiceAsUser(name, second_user, work_.path() / "second-user"), 0);
    EXPECT_TRUE(InstanceGuard(name).AnotherCopyRuns());
}

TEST_F(InstanceGuardTest, ProgramsStartedMeanwhileDoNotKeepTheName)
{
    std::unique_ptr<testing_support::ChildProcess> child;
    {
        const InstanceGuard held(TestName());
        child = testing_support::ChildProcess::Start({"sleep", "30"});
        ASSERT_TRUE(child);
    }
    EXPECT_FALSE(InstanceGuard(TestName()).AnotherCopyRuns());
}

// The runtime folder holds the lock only when no other user may write in it
// or put one there first; otherwise the working folder does.
TEST_F(InstanceGuardTest, LockIsInTheRuntimeFolderOnlyWhenItIsTheUsersAlone)
{
    struct Case {
        fs::perms mode;
        uid_t owner;
        bool in_runtime_folder;
    };
    const uid_t us = getuid();
    const uid_t other_user = 54321;
    for (const Case& tried :
         {Case{fs::perms::owner_all, us, true}, Case{fs::perms(0755), us, false}, Case{fs::perms::all, us, false},
          Case{fs::perms(01700), us, false}, Case{fs::perms::owner_all, other_user, false}}) {
        // Only root can give the folder away.
        if (tried.owner != us && geteuid() != 0) continue;
        ASSERT_EQ(chown(Runtime().c_str(), tried.owner, static_cast<gid_t>(-1)), 0);
        fs::permissions(Runtime(), tried.mode);
        const std::string name = TestName();
        {
            const InstanceGuard guard(name);
            EXPECT_FALSE(guard.AnotherCopyRuns());
            EXPECT_EQ(fs::exists(Runtime() / (name + ".lock")), tried.in_runtime_folder) << int(tried.mode);
            EXPECT_EQ(fs::exists(work_.path() / (name + ".lock")), !tried.in_runtime_folder) << int(tried.mode);
            EXPECT_TRUE(InstanceGuard(name).AnotherCopyRuns()) << int(tried.mode);
        }
        fs::remove(Runtime() / (name + ".lock"));
        fs::remove(work_.path() / (name + ".lock"));
    }
}

}  // namespace
}  // namespace platform
