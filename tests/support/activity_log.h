#pragma once
// The program's activity log (Log/action-log.txt) read back line by line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"

namespace testing_support {

struct LogLine {
    std::chrono::milliseconds time;  // since the epoch, read as UTC
    std::string level;
    std::string text;
};

// "[2024-05-06 07:08:09.123] [basic_logger] [info] text"; a line of another
// form fails the test.
inline LogLine ParseLogLine(const std::string& line)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0, consumed = 0;
    char level[16] = {};
    if (std::sscanf(line.c_str(), "[%d-%d-%d %d:%d:%d.%d] [basic_logger] [%15[a-z]] %n", &year, &month, &day, &hour,
                    &minute, &second, &millisecond, level, &consumed) != 8) {
        ADD_FAILURE() << "not a log line: " << line;
        return {};
    }
    using namespace std::chrono;
    const sys_days date = year_month_day{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                                         std::chrono::day(static_cast<unsigned>(day))};
    const auto time =
        date.time_since_epoch() + hours(hour) + minutes(minute) + seconds(second) + milliseconds(millisecond);
    return {duration_cast<milliseconds>(time), level, line.substr(static_cast<std::size_t>(consumed))};
}

// The log's complete lines, each ended by CRLF; a last line still being
// written is left out.
inline std::vector<LogLine> ReadActivityLog(const std::filesystem::path& path)
{
    std::vector<LogLine> lines;
    const std::string text = ReadFileBytes(path);
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(ParseLogLine(text.substr(start, end - start)));
    }
    return lines;
}

}  // namespace testing_support
