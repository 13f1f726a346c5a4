#pragma once
#include <stdexcept>
#include <string_view>

#include "archive/codec/com.h"
#include "platform/base/windows_error.h"

namespace archive {

// HRESULT of a Windows error number: 0 or less stays, anything else becomes
// (value AND 0xFFFF) OR 0x80070000.
HRESULT HResultFromWindowsError(platform::WindowsError error);

// The result handed to the codec library for a failed call: as above, except
// that a failure without an error number still fails (E_FAIL).
HRESULT FailureFromWindowsError(platform::WindowsError error);

// The single exception type of the extraction layer.
class ArchiveError : public std::runtime_error {
public:
    ArchiveError(std::wstring_view message, HRESULT code);
    ArchiveError(std::wstring_view message, platform::WindowsError error);
    ArchiveError(std::string_view utf8_message, HRESULT code);

    HRESULT Code() const { return code_; }

private:
    HRESULT code_;
};

}  // namespace archive
