#include "update/service_wait.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "platform/base/text.h"
#include "platform/durable/atomic_file.h"
#include "update/paths.h"
#include "update/version_document.h"

namespace {

using std::chrono::sys_seconds;

constexpr int kTooManyRequests = 429;
constexpr int kServiceUnavailable = 503;

// "Sun, 06 Nov 1994 08:49:37 GMT", the one date form a server may send
// today, turned into the form ParseUtcTime checks.
std::optional<sys_seconds> ParseHttpDate(std::string_view text)
{
    constexpr std::string_view kShape = "www, dd mmm yyyy hh:mm:ss GMT";
    constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (text.size() != kShape.size()) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (std::string_view(",: ").find(kShape[i]) != std::string_view::npos && text[i] != kShape[i]) {
            return std::nullopt;
        }
    }
    if (!text.ends_with(" GMT")) return std::nullopt;
    std::size_t month = 0;
    while (month < kMonths.size() && text.substr(8, 3) != kMonths[month]) ++month;
    if (month == kMonths.size()) return std::nullopt;
    return ParseUtcTime(
        fmt::format("{}-{:02}-{}T{}Z", text.substr(12, 4), month + 1, text.substr(5, 2), text.substr(17, 8)));
}

// The end of a recorded wait, nullopt when the record is unreadable.
std::optional<sys_seconds> RecordedTime(const nlohmann::json& value)
{
    if (!value.is_string()) return std::nullopt;
    const std::optional<std::uint64_t> seconds = ParseSequence(value.get_ref<const std::string&>());
    if (!seconds || *seconds > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return sys_seconds(std::chrono::seconds(*seconds));
}

nlohmann::json ReadWaits()
{
    std::ifstream in(platform::WideToUtf8(RetryAfterFileName), std::ios::binary);
    const nlohmann::json waits = nlohmann::json::parse(in, nullptr, false);
    return waits.is_object() ? waits : nlohmann::json::object();
}

}  // namespace

std::optional<sys_seconds> ParseRetryAfter(std::string_view value, sys_seconds now)
{
    std::optional<sys_seconds> until;
    if (const std::optional<std::uint64_t> seconds = ParseSequence(value)) {
        const auto longest = static_cast<std::uint64_t>(std::chrono::seconds(kLongestServiceWait).count());
        until = now + std::chrono::seconds(std::min(*seconds, longest));
    } else {
        until = ParseHttpDate(value);
    }
    if (!until) return std::nullopt;
    return std::min(*until, now + kLongestServiceWait);
}

std::optional<sys_seconds> ServiceWaitUntil(const std::string& source, sys_seconds now)
{
    const nlohmann::json waits = ReadWaits();
    const auto found = waits.find(source);
    const std::optional<sys_seconds> recorded = found == waits.end() ? std::nullopt : RecordedTime(*found);
    if (!recorded || *recorded <= now) return std::nullopt;
    // A clock set back since must not stretch the wait past its longest.
    return std::min(*recorded, now + kLongestServiceWait);
}

void RecordServiceWait(const std::string& source, const platform::DownloadAnswer& answer, sys_seconds now)
{
    if (answer.status != kTooManyRequests && answer.status != kServiceUnavailable) return;
    const std::optional<sys_seconds> until = ParseRetryAfter(answer.retry_after, now);
    if (!until || *until <= now) return;
    const nlohmann::json recorded_waits = ReadWaits();
    nlohmann::json waits = nlohmann::json::object();
    for (const auto& [other, time] : recorded_waits.items()) {
        if (const std::optional<sys_seconds> recorded = RecordedTime(time); recorded && *recorded > now) {
            waits[other] = time;
        }
    }
    waits[source] = std::to_string(until->time_since_epoch().count());
    try {
        platform::ReplaceFileContent(platform::WideToUtf8(RetryAfterFileName), waits.dump(4) + "\n");
    } catch (const platform::FileWriteError&) {  // a wait that cannot be kept is not kept; the check goes on
    }
}

std::string FormatUtcTime(sys_seconds time)
{
    const auto day = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss clock{time - day};
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}Z", static_cast<int>(date.year()),
                       static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), clock.hours().count(),
                       clock.minutes().count(), clock.seconds().count());
}
