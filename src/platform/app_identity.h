#pragma once
// The process's application user model identifier and the system version
// the notification content depends on.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/hresult.h"

namespace platform {

// SetCurrentProcessExplicitAppUserModelID: E_INVALIDARG for an empty
// identifier or one longer than 128 characters, the system's limit.
HResult SetCurrentProcessExplicitAppUserModelID(std::wstring_view id);
std::wstring CurrentProcessExplicitAppUserModelID();

// RtlGetVersion's major version; Linux reports 10, the notification
// features of the current Windows.
std::uint32_t WindowsMajorVersion();

// GetSystemTimeAsFileTime: 100 ns units since 1601-01-01 UTC.
std::int64_t SystemTimeAsFileTime();

}  // namespace platform
