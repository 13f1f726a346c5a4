#include "desktop/identity/app_identity.h"

namespace desktop {
namespace {

constexpr std::size_t kMaxIdentifier = 128;

std::wstring& StoredIdentifier()
{
    static std::wstring identifier;
    return identifier;
}

}  // namespace

platform::HResult SetCurrentProcessExplicitAppUserModelID(std::wstring_view id)
{
    if (id.empty() || id.size() > kMaxIdentifier) return platform::hresult::kInvalidArgument;
    StoredIdentifier() = id;
    return platform::hresult::kOk;
}

std::wstring CurrentProcessExplicitAppUserModelID() { return StoredIdentifier(); }

}  // namespace desktop
