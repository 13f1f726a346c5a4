#include "platform/app_identity.h"

namespace platform {
namespace {

constexpr std::size_t kMaxIdentifier = 128;

std::wstring& StoredIdentifier()
{
    static std::wstring identifier;
    return identifier;
}

}  // namespace

HResult SetCurrentProcessExplicitAppUserModelID(std::wstring_view id)
{
    if (id.empty() || id.size() > kMaxIdentifier) return hresult::kInvalidArgument;
    StoredIdentifier() = id;
    return hresult::kOk;
}

std::wstring CurrentProcessExplicitAppUserModelID() { return StoredIdentifier(); }

}  // namespace platform
