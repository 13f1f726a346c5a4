#include "platform/files/file.h"

#include <string>

#include "platform/base/windows_api_win.h"
#include "platform/files/file_info_win.h"
#include "platform/paths/long_path_win.h"

namespace platform {
namespace {

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

WindowsError Result(BOOL succeeded) { return succeeded ? WindowsError::kSuccess : LastSystemError(); }

}  // namespace

WindowsError File::Open(std::wstring_view path, bool for_writing, CreationDisposition disposition)
{
    if (IsOpen()) return WindowsError::kGeneralFailure;
    const std::wstring name = LongPath(path);
    // The creation dispositions carry the Windows values. A folder cannot be
    // opened without backup semantics, so it fails with access denied.
    HANDLE file = ::CreateFileW(name.c_str(), for_writing ? GENERIC_WRITE : GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                static_cast<DWORD>(disposition), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastSystemError();
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return WindowsError::kSuccess;
}

WindowsError File::Read(void* buffer, std::size_t size, std::size_t& read)
{
    DWORD moved = 0;
    const BOOL succeeded = ::ReadFile(Native(handle_), buffer, static_cast<DWORD>(size), &moved, nullptr);
    read = moved;
    return Result(succeeded);
}

WindowsError File::Write(const void* buffer, std::size_t size, std::size_t& written)
{
    DWORD moved = 0;
    const BOOL succeeded = ::WriteFile(Native(handle_), buffer, static_cast<DWORD>(size), &moved, nullptr);
    written = moved;
    return Result(succeeded);
}

WindowsError File::Seek(std::int64_t offset, SeekOrigin origin, std::uint64_t& position)
{
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER reached{};
    // SeekOrigin carries FILE_BEGIN, FILE_CURRENT and FILE_END.
    if (!::SetFilePointerEx(Native(handle_), distance, &reached, static_cast<DWORD>(origin))) return LastSystemError();
    position = static_cast<std::uint64_t>(reached.QuadPart);
    return WindowsError::kSuccess;
}

// Sets the end of the file without moving the file pointer, as ftruncate does.
WindowsError File::Truncate(std::uint64_t size)
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return Result(::SetFileInformationByHandle(Native(handle_), FileEndOfFileInfo, &end, sizeof end));
}

WindowsError File::Info(FileInfo& info) const
{
    BY_HANDLE_FILE_INFORMATION native{};
    if (!::GetFileInformationByHandle(Native(handle_), &native)) return LastSystemError();
    info = FileInfoFrom(native);
    info.volume = native.dwVolumeSerialNumber;
    info.index = (std::uint64_t{native.nFileIndexHigh} << 32) | native.nFileIndexLow;
    return WindowsError::kSuccess;
}

WindowsError File::SetWriteTime(std::uint64_t ticks)
{
    FILETIME time{};
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return Result(::SetFileTime(Native(handle_), nullptr, nullptr, &time));
}

WindowsError File::Close()
{
    if (!IsOpen()) return WindowsError::kSuccess;
    const HANDLE file = Native(handle_);
    handle_ = kNoHandle;
    return Result(::CloseHandle(file));
}

}  // namespace platform
