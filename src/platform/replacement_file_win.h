#pragma once
// A file written beside its target and moved over it only once complete: the
// download's body and the configuration's new content both go through it.
// Removed unless Commit moved it. Errors are Windows error numbers, never 0.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <string>

#include "platform/windows_api_win.h"

namespace platform {

class ReplacementFile {
public:
    explicit ReplacementFile(std::wstring target) : target_(std::move(target))
    {
        // Process id and counter make the name unique among concurrent writers.
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
            path_ = target_ + L".tmp-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
            const HANDLE file =
                ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) file_.reset(file);
            else if (::GetLastError() != ERROR_FILE_EXISTS) break;
        }
        if (!file_) Failed("CreateFileW"), path_.clear();
    }
    ~ReplacementFile()
    {
        file_.reset();
        if (!path_.empty()) ::DeleteFileW(path_.c_str());
    }
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // The creation's error, 0 when the file is open.
    int error() const { return error_; }
    // The call that failed last, for messages.
    const char* failed_call() const { return failed_call_; }

    int Write(const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const char*>(data);
        while (size > 0) {
            DWORD written = 0;
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
            if (!::WriteFile(file_.get(), bytes, chunk, &written, nullptr)) return Failed("WriteFile");
            bytes += written;
            size -= written;
        }
        return 0;
    }

    // Makes the content durable, then moves it over the target in one step.
    int Commit()
    {
        if (!::FlushFileBuffers(file_.get())) return Failed("FlushFileBuffers");
        if (!::CloseHandle(file_.release())) return Failed("CloseHandle");
        if (!::MoveFileExW(path_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return Failed("MoveFileExW");
        }
        path_.clear();
        return 0;
    }

private:
    // Never 0, so that a call that failed without saying why still fails.
    int Failed(const char* call)
    {
        const DWORD error = ::GetLastError();
        failed_call_ = call;
        error_ = error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
        return error_;
    }

    std::wstring target_;
    std::wstring path_;
    UniqueHandle file_;
    int error_ = 0;
    const char* failed_call_ = "";
};

}  // namespace platform
