// Retry-After on the version service and the package's source: read in
// both forms, kept as an absolute time across runs, capped at a day.
#include "update/service_wait.h"

#include <fmt/chrono.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// First: httplib's winsock2.h goes before windows.h.
#include "update_flow_fixture.h"

namespace {

using namespace testing_support;
using namespace std::chrono;
namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// 2026-12-11T10:00:00Z
const sys_seconds kNow = sys_days{year{2026} / December / 11} + hours{10};

TEST(RetryAfterTest, ReadsSecondsAndHttpDatesCappedAtADay)
{
    struct Case {
        const char* value;
        std::optional<sys_seconds> until;
    };
    const Case cases[] = {
        {"120", kNow + seconds{120}},
        {"0", kNow},
        {"86400", kNow + hours{24}},
        {"999999999999", kNow + hours{24}},
        {"Fri, 11 Dec 2026 11:30:00 GMT", kNow + minutes{90}},
        {"Fri, 11 Dec 2026 09:00:00 GMT", kNow - hours{1}},
        {"Sat, 19 Dec 2026 10:00:00 GMT", kNow + hours{24}},
        {"", std::nullopt},
        {"-5", std::nullopt},
        {"1.5", std::nullopt},
        {"soon", std::nullopt},
        {"Fri, 11 Dec 2026 11:30:00 UTC", std::nullopt},
        {"Friday, 11-Dec-26 11:30:00 GMT", std::nullopt},
        {"Fri, 31 Feb 2026 11:30:00 GMT", std::nullopt},
        {"Fri, 11 Dxc 2026 11:30:00 GMT", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ParseRetryAfter(c.value, kNow), c.until);
    }
    EXPECT_EQ(FormatUtcTime(kNow + seconds{3723}), "2026-12-11T11:02:03Z");
}

class ServiceWaitTest : public UpdateFlowTest {
protected:
    // The time a "Waiting for the service until <time>" line names.
    static sys_seconds WaitInLine(const std::string& line)
    {
        const std::string prefix = "[info] Waiting for the service until ";
        EXPECT_TRUE(line.starts_with(prefix)) << line;
        const std::string time = line.substr(std::min(prefix.size(), line.size()));
        return ParseUtcTime(time).value_or(sys_seconds{});
    }
};

TEST_F(ServiceWaitTest, ABusyServiceIsNotAskedAgainBeforeItsRetryAfterEvenByALaterRun)
{
    const auto in_two_hours = floor<seconds>(system_clock::now()) + hours{2};
    const std::string date = fmt::format("{:%a, %d %b %Y %H:%M:%S GMT}", in_two_hours);
    struct Case {
        const char* path;
        int status;
        std::string retry_after;
        seconds wait;  // from the run's start, within a few seconds
    };
    const Case cases[] = {{"/busy-seconds", 503, "3600", hours{1}}, {"/busy-date", 429, date, hours{2}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        fs::remove_all("Log");
        fs::remove("RetryAfter.json");
        Answer& busy = ServeAnswer(c.path);
        busy.status = c.status;
        busy.retry_after = c.retry_after;
        const std::string config = WriteConfig(http_.Url(c.path));
        const int before = Requests();
        const auto start = floor<seconds>(system_clock::now());

        outcome_ = UpdateFlow(BuiltInServiceAt(c.path));
        EXPECT_EQ(LogLines().back(), "[error] Download Config Error");
        EXPECT_EQ(Requests(), before + 2);  // the configured source and the built-in one

        // Each later run reads the wait from the working folder, as a restarted program does.
        for (int run = 0; run < 2; ++run) {
            fs::remove_all("Log");
            outcome_ = UpdateFlow(BuiltInServiceAt(c.path));
            const Lines lines = LogLines();
            ASSERT_EQ(lines.size(), 3u);
            EXPECT_EQ(lines[0], "[info] Download Process Start!");
            const sys_seconds until = WaitInLine(lines[2]);
            EXPECT_GE(until, start + c.wait - seconds{5});
            EXPECT_LE(until, floor<seconds>(system_clock::now()) + c.wait);
            EXPECT_EQ(Requests(), before + 2);
            ExpectNothingChanged(config);
        }
    }
}

TEST_F(ServiceWaitTest, TheServiceIsAskedAgainOnceItsTimeHasCome)
{
    Answer& busy = ServeAnswer("/version");
    busy.status = 503;
    busy.retry_after = "1";
    WriteConfig(http_.Url("/version"), "2.0.0");
    outcome_ = UpdateFlow(BuiltInServiceAt("/version"));
    const auto until = floor<seconds>(system_clock::now()) + seconds{1};
    busy = {200, VersionDocument("2.0.0", http_.Url("/package.zip")), "", "", ""};
    fs::remove_all("Log");
    outcome_ = UpdateFlow(BuiltInServiceAt("/version"));
    ASSERT_EQ(LogLines().size(), 3u);
    EXPECT_EQ(Requests(), 2);

    for (int i = 0; i < 100 && system_clock::now() <= until + seconds{1}; ++i) std::this_thread::sleep_for(50ms);
    fs::remove_all("Log");
    outcome_ = UpdateFlow(BuiltInServiceAt("/version"));
    EXPECT_EQ(LogLines().back(), "[info] Not Need Download Zip");
    EXPECT_EQ(Requests(), 3);
}

TEST_F(ServiceWaitTest, ABusyPackageSourceIsWaitedForWhileTheDocumentIsStillRead)
{
    Answer& package = ServeAnswer("/package.zip");
    package.status = 503;
    package.retry_after = "3600";
    Serve("/version", VersionDocument("2.0.0", http_.Url("/package.zip")));
    const std::string config = WriteConfig(http_.Url("/version"));

    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines().back(), "[error] Download Zip Error");
    fs::remove_all("Log");
    outcome_ = UpdateFlow();
    const Lines lines = LogLines();
    EXPECT_EQ(lines[lines.size() - 2], "[info] Delete UrlConfig Finish!");
    WaitInLine(lines.back());
    EXPECT_EQ(Requested(), (Lines{"/version", "/package.zip", "/version"}));
    EXPECT_EQ(outcome_, RunOutcome{});
    ExpectNothingChanged(config);

    // Without a readable Retry-After the package's source is asked at the next run.
    fs::remove("RetryAfter.json");
    package.retry_after = "later";
    outcome_ = UpdateFlow();
    outcome_ = UpdateFlow();
    EXPECT_EQ(Requested().size(), 7u);
    EXPECT_FALSE(fs::exists("RetryAfter.json"));
}

}  // namespace
