#pragma once
// A dbus-daemon of our own as the session bus while the object lives:
// DBUS_SESSION_BUS_ADDRESS points at it, so this process and every program it
// starts talk to it alone. The daemon is stopped and the variable restored at
// the end.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <stdexcept>
#include <string>

#include "support/child_process.h"
#include "support/temp_folder.h"

class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        int pipe_ends[2];
        if (pipe2(pipe_ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 3);
        // Its complaints about resource limits are noise in test output.
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        daemon_ = testing_support::SpawnProgram({"dbus-daemon", "--session", "--nofork", "--print-address=3"}, &actions);
        posix_spawn_file_actions_destroy(&actions);
        close(pipe_ends[1]);
        if (daemon_ < 0) {
            close(pipe_ends[0]);
            throw std::runtime_error("cannot start dbus-daemon");
        }
        // The daemon prints its address, one line, once it listens.
        char buffer[512];
        ssize_t count = 0;
        while (address_.find('\n') == std::string::npos &&
               ((count = read(pipe_ends[0], buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR))) {
            if (count > 0) address_.append(buffer, static_cast<std::size_t>(count));
        }
        close(pipe_ends[0]);
        if (address_.find('\n') == std::string::npos) {
            Stop();
            throw std::runtime_error("dbus-daemon printed no address");
        }
        address_.erase(address_.find('\n'));
        address_variable_.emplace("DBUS_SESSION_BUS_ADDRESS", address_);
    }
    ~PrivateSessionBus()
    {
        address_variable_.reset();
        Stop();
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& address() const { return address_; }

private:
    void Stop()
    {
        kill(daemon_, SIGTERM);
        int status = 0;
        while (waitpid(daemon_, &status, 0) < 0 && errno == EINTR) {
        }
    }

    pid_t daemon_ = 0;
    std::string address_;
    std::optional<testing_support::ScopedEnv> address_variable_;
};
