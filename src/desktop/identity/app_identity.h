#pragma once
// The process's application user model identifier.
#include <string>
#include <string_view>

#include "platform/base/hresult.h"

namespace desktop {

// SetCurrentProcessExplicitAppUserModelID: E_INVALIDARG for an empty
// identifier or one longer than 128 characters, the system's limit.
platform::HResult SetCurrentProcessExplicitAppUserModelID(std::wstring_view id);
std::wstring CurrentProcessExplicitAppUserModelID();

}  // namespace desktop
