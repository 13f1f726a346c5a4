#include "platform/process/child_process.h"

#include <spawn.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/process/child_process_linux.h"

extern char** environ;

namespace platform {
namespace {

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

int WaitForExit(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return ExitCode(status);
}

// Starts the program without a shell; its process id, or -1.
pid_t Spawn(const std::vector<std::string>& arguments)
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
    return spawned == 0 ? child : -1;
}

}  // namespace

int RunProgram(const std::vector<std::string>& arguments)
{
    const pid_t child = Spawn(arguments);
    return child > 0 ? WaitForExit(child) : -1;
}

StartedProgram::StartedProgram(const std::vector<std::string>& arguments) : process_id_(Spawn(arguments))
{
    if (process_id_ <= 0) {
        exit_status_ = -1;
        return;
    }
    // Close-on-exec by the kernel's own rule for pidfds; -1 (ENOSYS) before 5.3.
    exit_descriptor_ = static_cast<int>(::syscall(SYS_pidfd_open, process_id_, 0));
}

StartedProgram::~StartedProgram()
{
    End();
    if (exit_descriptor_ >= 0) ::close(exit_descriptor_);
}

std::optional<int> StartedProgram::ExitStatus()
{
    if (exit_status_) return exit_status_;
    int status = 0;
    pid_t reaped = 0;
    do {
        reaped = ::waitpid(process_id_, &status, WNOHANG);
    } while (reaped < 0 && errno == EINTR);
    if (reaped == 0) return std::nullopt;
    exit_status_ = reaped == process_id_ ? ExitCode(status) : -1;
    return exit_status_;
}

void StartedProgram::End()
{
    if (ExitStatus()) return;
    ::kill(process_id_, SIGTERM);
    WaitForExit(process_id_);
    exit_status_ = -1;
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
