#include "platform/process/child_process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>

extern char** environ;

namespace platform {

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
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace platform
