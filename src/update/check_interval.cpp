#include "update/check_interval.h"

#include <charconv>
#include <chrono>
#include <stdexcept>
#include <string_view>

#include "platform/base/test_overrides.h"

namespace {

// The interval of an empty text; tests of the real program shorten it.
int DefaultCheckIntervalSeconds()
{
    using std::chrono::seconds;
    const auto interval = platform::TestDuration("MERRO_TEST_DEFAULT_CHECK_INTERVAL").value_or(seconds(20));
    return static_cast<int>(std::chrono::duration_cast<seconds>(interval).count());
}
constexpr std::uint32_t ShortestPeriodMs = 1000;

// The white space of the C locale, which strtol skips.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

int CheckIntervalSeconds(const std::string& text)
{
    if (text.empty()) return DefaultCheckIntervalSeconds();

    std::string_view rest = text;
    while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
    // from_chars takes a minus sign but not a plus sign.
    if (rest.size() > 1 && rest.front() == '+' && rest[1] != '-') rest.remove_prefix(1);

    int seconds = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), seconds, 10);
    if (error == std::errc::invalid_argument) {
        throw std::invalid_argument("check interval \"" + text + "\" is not a number");
    }
    if (error == std::errc::result_out_of_range) {
        throw std::out_of_range("check interval \"" + text + "\" is out of range");
    }
    return seconds;
}

std::uint32_t CheckPeriodMilliseconds(int seconds)
{
    const std::uint32_t period = static_cast<std::uint32_t>(seconds) * 1000u;
    if (period < ShortestPeriodMs) return static_cast<std::uint32_t>(DefaultCheckIntervalSeconds()) * 1000u;
    return period;
}
