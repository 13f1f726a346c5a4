#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstring>

#include "program_fixture.h"

namespace {

using namespace std::chrono_literals;

// A process of another user that holds what it can of our copy's guard: the
// abstract socket name an earlier version used, and the lock file in each
// folder the guard may use, where it can open one. Killed at the end.
class GuardHeldByAnotherUser {
public:
    GuardHeldByAnotherUser(uid_t user, const std::vector<std::filesystem::path>& lock_files)
    {
        const std::string name = "MerroUpdate-" + std::to_string(getuid());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, name.data(), name.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        int ready[2];
        if (pipe(ready) != 0) return;
        holder_ = fork();
        if (holder_ == 0) {
            close(ready[0]);
            if (setgid(user) != 0 || setuid(user) != 0) _exit(1);
            const int socket_fd = socket(AF_UNIX, SOCK_STREAM, 0);
            if (socket_fd < 0 || bind(socket_fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) _exit(2);
            for (const auto& lock_file : lock_files) {
                const int fd = open(lock_file.c_str(), O_RDONLY | O_CREAT, 0644);
                if (fd >= 0) flock(fd, LOCK_EX | LOCK_NB);
            }
            if (write(ready[1], "h", 1) != 1) _exit(3);
            pause();
            _exit(0);
        }
        close(ready[1]);
        char byte = 0;
        held_ = holder_ > 0 && read(ready[0], &byte, 1) == 1;
        close(ready[0]);
    }
    GuardHeldByAnotherUser(const GuardHeldByAnotherUser&) = delete;
    GuardHeldByAnotherUser& operator=(const GuardHeldByAnotherUser&) = delete;
    ~GuardHeldByAnotherUser()
    {
        if (holder_ <= 0) return;
        kill(holder_, SIGKILL);
        waitpid(holder_, nullptr, 0);
    }

    bool held() const { return held_; }

private:
    pid_t holder_ = -1;
    bool held_ = false;
};

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

TEST_F(SingleInstanceTest, AnotherUserHoldingTheGuardDoesNotStopTheProgram)
{
    if (geteuid() != 0) GTEST_SKIP() << "a holder of another user id needs root to start it";
    WriteLocalConfig(R"("60")");
    const uid_t nobody = 65534;
    const GuardHeldByAnotherUser holder(nobody, {work() / "runtime/MerroUpdate.lock", work() / "MerroUpdate.lock"});
    ASSERT_TRUE(holder.held());

    auto program = Start();
    EXPECT_TRUE(WaitForTrayItem(*program));
    EXPECT_TRUE(Serve([&] { return !LogLinesWith("Start Sucess!").empty(); }));
    EXPECT_FALSE(program->Exited());
}

}  // namespace
