#pragma once
// The real merroupdate binary, started in the current directory with the
// test's environment, its standard output and error captured in files. A copy
// still running at the end is killed and reaped.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/child_process.h"
#include "support/temp_folder.h"

class RunningProgram {
public:
    // Output goes to <name>.out and <name>.err in the output folder. The
    // command is the built merroupdate unless another one is given (one
    // that ends by executing it, so the process stays the same).
    RunningProgram(const std::filesystem::path& output_folder, const std::string& name,
                   std::vector<std::string> command = {MERRO_BINARY_DIR "/bin/merroupdate"})
        : stdout_path_(output_folder / (name + ".out")), stderr_path_(output_folder / (name + ".err"))
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, stdout_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, stderr_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string program = command.front();
        pid_ = testing_support::SpawnProgram(std::move(command), &actions);
        posix_spawn_file_actions_destroy(&actions);
        if (pid_ < 0) throw std::runtime_error("cannot start " + program);
    }
    ~RunningProgram()
    {
        if (Exited()) return;
        kill(pid_, SIGKILL);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    pid_t pid() const { return pid_; }

    bool Exited()
    {
        if (exit_status_) return true;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
        exit_status_ = status;
        return true;
    }

    // The exit code once the program has ended normally; null while it
    // runs, after the time-out and when a signal ended it. The wait runs
    // `serve`, which returns once its condition holds or its time is up.
    std::optional<int> WaitForExit(const std::function<bool(const std::function<bool()>&)>& serve)
    {
        serve([this] { return Exited(); });
        if (!Exited() || !WIFEXITED(*exit_status_)) return std::nullopt;
        return WEXITSTATUS(*exit_status_);
    }

    // Waits without serving anything, polling every few milliseconds.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout)
    {
        return WaitForExit([timeout](const std::function<bool()>& exited) {
            const auto deadline = std::chrono::steady_clock::now() + timeout;
            while (!exited() && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            return exited();
        });
    }

    void Signal(int number) const { kill(pid_, number); }

    std::string Stdout() const { return testing_support::ReadFileBytes(stdout_path_); }
    std::string Stderr() const { return testing_support::ReadFileBytes(stderr_path_); }

private:
    std::filesystem::path stdout_path_;
    std::filesystem::path stderr_path_;
    pid_t pid_ = 0;
    std::optional<int> exit_status_;
};
