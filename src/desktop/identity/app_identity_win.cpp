#include "desktop/identity/app_identity.h"

#include <string>

#include <windows.h>

#include <shobjidl.h>

namespace desktop {
namespace {

constexpr std::size_t kMaxIdentifier = 128;

}  // namespace

platform::HResult SetCurrentProcessExplicitAppUserModelID(std::wstring_view id)
{
    if (id.empty() || id.size() > kMaxIdentifier) return platform::hresult::kInvalidArgument;
    const std::wstring text(id);
    return ::SetCurrentProcessExplicitAppUserModelID(text.c_str());
}

std::wstring CurrentProcessExplicitAppUserModelID()
{
    PWSTR id = nullptr;
    if (FAILED(::GetCurrentProcessExplicitAppUserModelID(&id)) || !id) return {};
    std::wstring text(id);
    ::CoTaskMemFree(id);
    return text;
}

}  // namespace desktop
