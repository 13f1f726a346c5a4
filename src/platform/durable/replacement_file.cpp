#include "platform/durable/replacement_file.h"

#include <atomic>

namespace platform {

ReplacementFile::ReplacementFile(std::wstring_view target, std::optional<std::uint32_t> mode) : target_(target)
{
    // Process id and counter make the name unique among concurrent writers.
    static std::atomic<unsigned> counter{0};
    const char* failed = nullptr;
    for (int attempt = 0; attempt < 100 && handle_ == kNoHandle; ++attempt) {
        path_ = target_ + L".tmp-" + std::to_wstring(ProcessId()) + L"-" + std::to_wstring(counter++);
        failed = CreateNew(mode);
        if (failed && !AlreadyExists(LastError())) break;
    }
    if (failed) Failed(failed), path_.clear();
}

ReplacementFile::~ReplacementFile() { CloseAndRemove(); }

int ReplacementFile::Write(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        std::size_t written = 0;
        if (const char* failed = WriteSome(bytes, size, written)) return Failed(failed);
        bytes += written;
        size -= written;
    }
    return 0;
}

int ReplacementFile::Commit()
{
    if (const char* failed = FlushAndClose()) return Failed(failed);
    if (const char* failed = MoveOverTarget()) return Failed(failed);
    path_.clear();
    return 0;
}

int ReplacementFile::Failed(const char* call)
{
    failed_call_ = call;
    error_ = LastError();
    return error_;
}

}  // namespace platform
