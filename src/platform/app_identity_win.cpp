#include "platform/app_identity.h"

#include <string>

#include "platform/windows_api_win.h"

#include <shobjidl.h>

namespace platform {
namespace {

constexpr std::size_t kMaxIdentifier = 128;

}  // namespace

HResult SetCurrentProcessExplicitAppUserModelID(std::wstring_view id)
{
    if (id.empty() || id.size() > kMaxIdentifier) return hresult::kInvalidArgument;
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

}  // namespace platform
