#include "platform/base/test_overrides.h"

#include <charconv>
#include <cstdlib>
#include <string>

namespace platform {

std::optional<std::chrono::milliseconds> TestDuration(std::string_view name)
{
    const char* text = std::getenv(std::string(name).c_str());
    if (text == nullptr) return std::nullopt;
    const std::string_view value(text);
    long long milliseconds = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), milliseconds);
    if (error != std::errc() || end != value.data() + value.size() || milliseconds < 0) return std::nullopt;
    return std::chrono::milliseconds(milliseconds);
}

}  // namespace platform
