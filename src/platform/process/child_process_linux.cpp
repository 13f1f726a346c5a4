#include "platform/process/child_process.h"

#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/process/child_process_linux.h"

extern char** environ;

namespace platform {
namespace {

int WaitForExit(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int RunProgram(const std::vector<std::string>& arguments)
{
    if (arguments.empty()) return -1;
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);

    // The message loop blocks the termination signals on our thread; the
    // child must still end on them.
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) return -1;
    sigset_t no_signals;
    sigemptyset(&no_signals);
    pid_t child = 0;
    int spawned = posix_spawnattr_setsigmask(&attributes, &no_signals);
    if (spawned == 0) spawned = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    if (spawned == 0) spawned = posix_spawnp(&child, argv[0], nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) return -1;
    return WaitForExit(child);
}

int RunInChildProcess(const std::function<int()>& body)
{
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        // A program killed while its child works takes the child with it.
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) ::_exit(127);
        ::_exit(body());
    }
    return WaitForExit(child);
}

}  // namespace platform
