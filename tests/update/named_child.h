#pragma once
// A sleeping child process whose argv[0] is `shown_name`, as Wine shows a
// Windows program; killed at the end of the scope.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/temp_folder.h"

extern char** environ;

class NamedChild {
public:
    explicit NamedChild(std::string shown_name)
    {
        std::string seconds = "30";
        char* argv[] = {shown_name.data(), seconds.data(), nullptr};
        if (posix_spawn(&pid_, "/bin/sleep", nullptr, nullptr, argv, environ) != 0) pid_ = -1;
        WaitUntilShownAs(shown_name);
    }
    NamedChild(const NamedChild&) = delete;
    NamedChild& operator=(const NamedChild&) = delete;
    ~NamedChild() { Stop(); }

    void Stop()
    {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    bool started() const { return pid_ > 0; }

private:
    // Until exec has happened, /proc shows the test program's own command line.
    void WaitUntilShownAs(const std::string& shown_name)
    {
        const std::string cmdline = "/proc/" + std::to_string(pid_) + "/cmdline";
        for (int attempt = 0; attempt < 500 && pid_ > 0; ++attempt) {
            const std::string seen = testing_support::ReadFileBytes(cmdline);
            if (seen.substr(0, seen.find('\0')) == shown_name) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    pid_t pid_ = -1;
};
