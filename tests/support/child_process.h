#pragma once
// A program started by a test and ended with it: started with an empty
// signal mask (whatever the test process blocks) and standard input from
// /dev/null, terminated at the end, killed if it lingers, and always reaped.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class ChildProcess {
public:
    struct Options {
        // Empty: the test's current directory.
        std::filesystem::path working_directory{};
        // Standard output into a pipe that ReadLine reads.
        bool capture_output = false;
        // Standard output and error into <output_files>.out and .err, read
        // by Stdout() and Stderr().
        std::filesystem::path output_files{};
        bool discard_errors = false;
        // Run instead of looking the first argument up on PATH, which then
        // only names the process.
        std::filesystem::path executable{};
    };

    // The first argument is the program, looked up on PATH; null when it
    // cannot be started.
    static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& arguments, const Options& options);
    static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& arguments)
    {
        return Start(arguments, {});
    }

    ChildProcess(pid_t pid, int output, std::filesystem::path output_files);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    pid_t pid() const { return pid_; }
    void Signal(int number) const;
    // Whether it has ended; reaps it when it has.
    bool Exited();
    // The exit code once it has ended by itself within the limit; null
    // while it runs and when a signal ended it.
    std::optional<int> Wait(std::chrono::milliseconds limit);
    // One line of the captured standard output, waiting at most the limit.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit);
    std::string Stdout() const;
    std::string Stderr() const;

private:
    pid_t pid_;
    int output_;
    std::filesystem::path output_files_;
    std::optional<int> status_;
    std::string pending_;
};

// Runs the program in `folder` to its end; its exit code, or -1 when it
// could not start or a signal ended it.
int RunInFolder(const std::filesystem::path& folder, const std::vector<std::string>& arguments);

// Zips everything inside `folder` into `archive` with the zip tool run in
// that folder; `options` go before the archive's name. The tool's exit code.
int ZipFolder(const std::filesystem::path& folder, const std::filesystem::path& archive,
              const std::vector<std::string>& options = {"-r"});

}  // namespace testing_support
