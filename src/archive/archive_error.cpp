#include "archive/archive_error.h"

#include <string>

#include "platform/base/text.h"

namespace archive {

HRESULT HResultFromWindowsError(platform::WindowsError error)
{
    const auto value = static_cast<HRESULT>(error);
    if (value <= 0) return value;
    return static_cast<HRESULT>((static_cast<std::uint32_t>(value) & 0xFFFFu) | 0x80070000u);
}

HRESULT FailureFromWindowsError(platform::WindowsError error)
{
    return error == platform::WindowsError::kSuccess ? hresult::kFail : HResultFromWindowsError(error);
}

ArchiveError::ArchiveError(std::wstring_view message, HRESULT code)
    : ArchiveError(std::string_view(platform::WideToUtf8(message)), code)
{
}

ArchiveError::ArchiveError(std::wstring_view message, platform::WindowsError error)
    : ArchiveError(message, HResultFromWindowsError(error))
{
}

ArchiveError::ArchiveError(std::string_view utf8_message, HRESULT code)
    : std::runtime_error(std::string(utf8_message)), code_(code)
{
}

}  // namespace archive
