#pragma once
// Starting other programs. RunProgram and StartedProgram serve Linux (the
// message boxes, the publisher tool), StartProgramIn Windows (the login
// launcher); each is built for the platform that uses it.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Runs `arguments` (the program, looked up on PATH unless it holds a slash,
// then its arguments) without a shell and with no signal blocked, whatever
// the caller blocks, and waits for it. Returns its exit status, or -1 when
// it could not be started or did not exit by itself.
int RunProgram(const std::vector<std::string>& arguments);

// A program started without waiting for it, which the caller waits for in
// its own loop (Linux: a message box's zenity while the UI thread goes on).
// A program still running when the object ends is ended and reaped.
class StartedProgram {
public:
    // Starts `arguments` as RunProgram does; Started() says whether it could.
    explicit StartedProgram(const std::vector<std::string>& arguments);
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    bool Started() const { return process_id_ > 0; }

    // A descriptor that becomes readable once the program has exited (its
    // pidfd), or -1 where the kernel gives none (before Linux 5.3): then the
    // caller polls ExitStatus.
    int ExitDescriptor() const { return exit_descriptor_; }

    // Reaps the program once it has exited and gives its exit status, -1
    // when it did not exit by itself or was never started; nothing while it
    // runs.
    std::optional<int> ExitStatus();

    // Ends the program and waits for it.
    void End();

private:
    int process_id_ = -1;
    int exit_descriptor_ = -1;
    std::optional<int> exit_status_;
};

// Starts `program` with no arguments in the folder `folder` and returns at
// once, without waiting for it; false when it could not be started, with
// the system's reason in `error`.
bool StartProgramIn(std::wstring_view program, std::wstring_view folder, std::string& error);

}  // namespace platform
