#include "platform/app_identity.h"

#include <chrono>

namespace platform {
namespace {

constexpr std::size_t kMaxIdentifier = 128;
// 1601-01-01 to 1970-01-01 in 100 ns units.
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;

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

std::uint32_t WindowsMajorVersion() { return 10; }

std::int64_t SystemTimeAsFileTime()
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
    const auto since_unix = std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch());
    return kUnixEpochAsFileTime + since_unix.count();
}

}  // namespace platform
