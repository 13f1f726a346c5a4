#pragma once
// A lock that every process of the machine takes by the same name, whoever
// runs it: two users' copies of the program never replace the extension
// folder at the same time.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class MachineLock {
public:
    // Tries to take the lock for up to `wait`. Windows: a named mutex in the
    // machine-wide namespace that every user may open; Linux: an exclusive
    // lock on the file `linux_lock_file`, which every user may open.
    MachineLock(std::wstring_view windows_name, std::wstring_view linux_lock_file, std::chrono::milliseconds wait);
    // For the machine's only writer, which shares the folder with no one:
    // held, with no object behind it that another process could hold instead.
    static MachineLock SoleWriter() { return MachineLock(SoleWriterTag{}); }
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

    // False when another process held it all the time, or it could not be
    // made at all (then `error` says why).
    bool held() const { return held_; }
    const std::string& error() const { return error_; }

private:
    struct SoleWriterTag {};
    explicit MachineLock(SoleWriterTag) : held_(true) {}

    // A descriptor on Linux, a mutex HANDLE on Windows; -1 for none.
    std::intptr_t handle_ = -1;
    bool held_ = false;
    std::string error_;
};

}  // namespace platform
