#include "platform/durable/replacement_file.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "platform/base/windows_api_win.h"
#include "platform/files/file_system.h"
#include "platform/paths/long_path_win.h"

namespace platform {
namespace {

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

const char* ReplacementFile::CreateNew(std::optional<std::uint32_t>)
{
    const HANDLE file =
        ::CreateFileW(LongPath(path_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "CreateFileW";
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return nullptr;
}

const char* ReplacementFile::WriteSome(const char* data, std::size_t size, std::size_t& written)
{
    DWORD moved = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!::WriteFile(Native(handle_), data, chunk, &moved, nullptr)) return "WriteFile";
    written = moved;
    return nullptr;
}

const char* ReplacementFile::FlushAndClose()
{
    if (!::FlushFileBuffers(Native(handle_))) return "FlushFileBuffers";
    if (!::CloseHandle(Native(std::exchange(handle_, kNoHandle)))) return "CloseHandle";
    return nullptr;
}

// Both wait a few seconds for a scanner or reader that holds the file.
const char* ReplacementFile::MoveOverTarget()
{
    return MoveFileOver(path_, target_) == WindowsError::kSuccess ? nullptr : "MoveFileExW";
}

void ReplacementFile::CloseAndRemove()
{
    if (handle_ != kNoHandle) ::CloseHandle(Native(std::exchange(handle_, kNoHandle)));
    if (!path_.empty()) RemoveFile(path_);
}

unsigned long ReplacementFile::ProcessId() { return ::GetCurrentProcessId(); }

bool ReplacementFile::AlreadyExists(int error) { return error == ERROR_FILE_EXISTS; }

int ReplacementFile::LastError()
{
    const DWORD error = ::GetLastError();
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

std::string ReplacementFile::ErrorText() const { return std::system_category().message(error_); }

ReplacedFile LookAtReplacedFile(std::wstring_view path)
{
    const DWORD attributes = ::GetFileAttributesW(LongPath(path).c_str());
    return {attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0, std::nullopt};
}

}  // namespace platform
