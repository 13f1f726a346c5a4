#include "update/log/activity_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <vector>

#include <spdlog/spdlog.h>

#include "support/temp_folder.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WorkFolder;

std::vector<std::string> LogLines()
{
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(ActivityLogFile));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class ActivityLogTest : public ::testing::Test {
protected:
    WorkFolder work_;
};

TEST_F(ActivityLogTest, CreatesTheFolderAndWritesTheDefaultPatternWithCrLf)
{
    ASSERT_FALSE(std::filesystem::exists("Log"));
    {
        ActivityLogSession session;
        session.log()->info(logtext::StartSuccess);
        session.log()->info(logtext::Local, "1.0.9", "http://127.0.0.1/v");
        session.log()->error(logtext::DownloadConfigError);
    }
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 3u);
    const std::regex layout(
        R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] \[basic_logger\] \[(info|error)\] (.*)\r)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, layout)) << lines[0];
    EXPECT_EQ(match[1], "info");
    EXPECT_EQ(match[2], "Start Sucess!");
    ASSERT_TRUE(std::regex_match(lines[1], match, layout)) << lines[1];
    EXPECT_EQ(match[2], "Local: 1.0.9 http://127.0.0.1/v");
    ASSERT_TRUE(std::regex_match(lines[2], match, layout)) << lines[2];
    EXPECT_EQ(match[1], "error");
    EXPECT_EQ(match[2], "Download Config Error");
}

TEST_F(ActivityLogTest, AppendsAcrossUnitsOfWorkAndReusesTheName)
{
    for (int unit = 0; unit < 3; ++unit) {
        ActivityLogSession session;
        EXPECT_EQ(spdlog::get(ActivityLogName), session.log());
        session.log()->info(logtext::DownloadProcessStart);
    }
    EXPECT_EQ(spdlog::get(ActivityLogName), nullptr) << "dropped at the end of each unit";
    EXPECT_EQ(LogLines().size(), 3u);
}

TEST_F(ActivityLogTest, SecondLoggerWhileOneIsRegisteredFails)
{
    ActivityLogSession session;
    EXPECT_THROW(CreateActivityLog(), spdlog::spdlog_ex);
}

TEST_F(ActivityLogTest, FileIsClosedBetweenUnitsOfWorkAndCreatedAnew)
{
    {
        ActivityLogSession session;
        session.log()->info(logtext::StartSuccess);
    }
    std::filesystem::rename(ActivityLogFile, "Log/moved.txt");
    {
        ActivityLogSession session;
        session.log()->info(logtext::DownloadProcessStart);
    }
    EXPECT_NE(ReadFileBytes("Log/moved.txt").find("Start Sucess!"), std::string::npos);
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 1u) << "a moved file must not receive later lines";
    EXPECT_NE(lines[0].find("Download Process Start!"), std::string::npos);
}

TEST_F(ActivityLogTest, ErrorLinesReachTheFileAtOnceWhenFlushingOnError)
{
    ActivityLogSession session(ActivityLogSession::Flush::OnError);
    session.log()->info(logtext::DownloadProcessStart);
    session.log()->error(logtext::DownloadZipError);
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("Download Zip Error"), std::string::npos);
}

TEST_F(ActivityLogTest, UnwritableFolderFailsToCreateTheLogger)
{
    std::filesystem::create_directory("Log");
    std::filesystem::create_directory(ActivityLogFile);  // a folder where the file should be
    EXPECT_THROW(ActivityLogSession session, spdlog::spdlog_ex);
    EXPECT_EQ(spdlog::get(ActivityLogName), nullptr);
}

TEST_F(ActivityLogTest, RotatesAtTheLimitKeepingThreeOlderFiles)
{
    std::filesystem::create_directory("Log");
    // Four times a file just under the limit, each filled with its own
    // letter, gets one more line, which takes it past the limit.
    for (const char letter : {'a', 'b', 'c', 'd'}) {
        testing_support::WriteFileBytes(ActivityLogFile, std::string(ActivityLogMaxBytes - 20, letter));
        ActivityLogSession session;
        session.log()->info(logtext::DownloadProcessStart);
        session.log()->info(logtext::NotNeedDownloadZip);
    }
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("] [basic_logger] [info] Download Process Start!\r"), std::string::npos);
    EXPECT_NE(lines[1].find("] [basic_logger] [info] Not Need Download Zip\r"), std::string::npos);
    EXPECT_EQ(ReadFileBytes("Log/action-log.1.txt"), std::string(ActivityLogMaxBytes - 20, 'd'));
    EXPECT_EQ(ReadFileBytes("Log/action-log.2.txt"), std::string(ActivityLogMaxBytes - 20, 'c'));
    EXPECT_EQ(ReadFileBytes("Log/action-log.3.txt"), std::string(ActivityLogMaxBytes - 20, 'b'));
    EXPECT_FALSE(std::filesystem::exists("Log/action-log.4.txt"));
}

TEST_F(ActivityLogTest, FileUnderTheLimitIsAppendedTo)
{
    std::filesystem::create_directory("Log");
    testing_support::WriteFileBytes(ActivityLogFile, std::string(ActivityLogMaxBytes - 200, 'a'));
    {
        ActivityLogSession session;
        session.log()->info(logtext::StartSuccess);
    }
    EXPECT_EQ(ReadFileBytes(ActivityLogFile).rfind(std::string(ActivityLogMaxBytes - 200, 'a'), 0), 0u);
    EXPECT_FALSE(std::filesystem::exists("Log/action-log.1.txt"));
}

}  // namespace
