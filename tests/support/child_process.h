#pragma once
// Starts a program found on PATH with the test's environment and an empty
// signal mask, whatever the test process itself blocks.
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>

#include <string>
#include <vector>

extern char** environ;

namespace testing_support {

// The child's pid, or -1 when it could not be started.
inline pid_t SpawnProgram(std::vector<std::string> arguments, const posix_spawn_file_actions_t* actions = nullptr)
{
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) return -1;
    sigset_t no_signals;
    sigemptyset(&no_signals);
    pid_t child = -1;
    const bool ready = posix_spawnattr_setsigmask(&attributes, &no_signals) == 0 &&
                       posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK) == 0;
    if (ready && posix_spawnp(&child, argv[0], actions, &attributes, argv.data(), environ) != 0) child = -1;
    posix_spawnattr_destroy(&attributes);
    return child;
}

}  // namespace testing_support
