#pragma once
// The single-instance guard: one copy per user (the named mutex of Windows,
// which another user's copy may not open; on Linux a lock file in the user's
// private runtime folder, else in the working folder).
#include <cstdint>
#include <string_view>

namespace platform {

// Claims the name for the user for the life of the object; the system frees
// it when the process ends, however it ends.
class InstanceGuard {
public:
    explicit InstanceGuard(std::string_view name);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // True only when another process holds the name. Any other failure to
    // claim it counts as no other copy running.
    bool AnotherCopyRuns() const { return another_copy_runs_; }

private:
    // A file descriptor on Linux, a mutex HANDLE on Windows; -1 for none.
    std::intptr_t handle_ = -1;
    bool another_copy_runs_ = false;
};

}  // namespace platform
