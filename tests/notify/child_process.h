#pragma once
// A program started by a test and ended with the test: terminated, then
// killed if it lingers, and always reaped.
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace notify_test {

class ChildProcess {
public:
    // Starts the program, looked up on PATH, in the current environment.
    // Null when it cannot be started.
    static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& arguments, bool capture_output = false);

    ChildProcess(pid_t pid, int output) : pid_(pid), output_(output) {}
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // One line of the captured standard output, waiting at most the limit.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit);
    // The exit status once the program has ended within the limit.
    std::optional<int> Wait(std::chrono::milliseconds limit);

private:
    pid_t pid_;
    int output_;
    bool reaped_ = false;
    std::string pending_;
};

}  // namespace notify_test
