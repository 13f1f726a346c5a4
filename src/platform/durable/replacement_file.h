#pragma once
// A file written beside its target and moved over it only once complete: the
// configuration's new content, the download's body and the desktop entry all
// go through it. Removed unless Commit moved it. Errors are the system's
// error numbers (errno on Linux, Windows error codes), never 0.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class ReplacementFile {
public:
    // `mode` gives the new file these Unix permission bits instead of what the
    // umask leaves of read and write for everyone; Windows has no such bits.
    explicit ReplacementFile(std::wstring_view target, std::optional<std::uint32_t> mode = std::nullopt);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // The creation's error, 0 when the file is open.
    int error() const { return error_; }
    // The call that failed last, and the system's text for its error.
    const char* failed_call() const { return failed_call_; }
    std::string ErrorText() const;

    int Write(const void* data, std::size_t size);

    // Makes the content durable, moves it over the target in one step and
    // makes the move durable too.
    int Commit();

private:
    // The system's side, for each platform. Each returns the name of the call
    // that failed, or nullptr; the error is then the system's last one.
    const char* CreateNew(std::optional<std::uint32_t> mode);
    const char* WriteSome(const char* data, std::size_t size, std::size_t& written);
    const char* FlushAndClose();
    const char* MoveOverTarget();
    void CloseAndRemove();
    static unsigned long ProcessId();
    static bool AlreadyExists(int error);
    // Never 0, so that a call that failed without saying why still fails.
    static int LastError();

    int Failed(const char* call);

    // A descriptor on Linux, a HANDLE on Windows; both use -1 for none.
    static constexpr std::intptr_t kNoHandle = -1;

    std::wstring target_;
    std::wstring path_;
    std::intptr_t handle_ = kNoHandle;
    int error_ = 0;
    const char* failed_call_ = "";
};

// What the replacement of an existing file keeps of it, and whether the
// system marks it read-only.
struct ReplacedFile {
    bool read_only = false;
    std::optional<std::uint32_t> mode;  // Linux: the old file's permission bits
};
ReplacedFile LookAtReplacedFile(std::wstring_view path);

}  // namespace platform
