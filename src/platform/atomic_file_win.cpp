#include "platform/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <system_error>

#include "platform/text.h"
#include "platform/windows_api_win.h"

namespace platform {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason)
{
    throw FileWriteError("Cannot write " + path + ": " + reason);
}

[[noreturn]] void Fail(const std::string& path, const char* call, DWORD error)
{
    Fail(path, std::string(call) + " failed: " + std::system_category().message(static_cast<int>(error)));
}

// Removes the temporary file unless the move consumed it.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring name) : name_(std::move(name)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        if (!name_.empty()) ::DeleteFileW(name_.c_str());
    }
    const std::wstring& name() const { return name_; }
    void Release() { name_.clear(); }

private:
    std::wstring name_;
};

std::wstring TemporaryName(const std::wstring& path)
{
    static std::atomic<unsigned> counter{0};
    return path + L".tmp-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

}  // namespace

void ReplaceFileContent(const std::string& path, std::string_view content)
{
    const std::wstring target = Utf8ToWide(path);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        Fail(path, "the file is read-only");
    }
    TemporaryFile temporary(TemporaryName(target));
    UniqueHandle file(::CreateFileW(temporary.name().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        temporary.Release();  // nothing was created
        Fail(path, "CreateFileW", ::GetLastError());
    }
    while (!content.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 30));
        if (!::WriteFile(file.get(), content.data(), chunk, &written, nullptr)) Fail(path, "WriteFile", ::GetLastError());
        content.remove_prefix(written);
    }
    if (!::FlushFileBuffers(file.get())) Fail(path, "FlushFileBuffers", ::GetLastError());
    file.reset();
    if (!::MoveFileExW(temporary.name().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail(path, "MoveFileExW", ::GetLastError());
    }
    temporary.Release();
}

}  // namespace platform
