#include "program_fixture.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// The update checks, timed by the log's own timestamps: each check writes
// "Download Process Start!" as its first line and, the versions being equal,
// "Not Need Download Zip" as its last; start-up writes "Start Sucess!" just
// before it starts the timer.
class CheckIntervalTest : public ProgramTest {
protected:
    // Waits for `count` checks and returns the log's times of start-up and
    // of each check.
    std::vector<milliseconds> CheckTimes(const std::string& elasp, std::size_t count, milliseconds timeout = 15s)
    {
        WriteLocalConfig(elasp);
        program = Start();
        EXPECT_TRUE(Serve([&] { return LogLinesWith("Not Need Download Zip").size() >= count; }, timeout));
        std::vector<milliseconds> times;
        for (const auto& line : LogLinesWith("Start Sucess!")) times.push_back(line.time);
        for (const auto& line : LogLinesWith("Download Process Start!")) times.push_back(line.time);
        return times;
    }

    // Start-up goes on after an error in reading the interval: the tray icon
    // is there, telling the error, which is named on standard error too.
    void ExpectTrayWithoutTimer(const std::string& elasp, const std::string& error)
    {
        WriteLocalConfig(elasp);
        program = Start();
        ASSERT_TRUE(WaitForTrayItem(*program));
        EXPECT_TRUE(Serve([&] { return client().ItemToolTip(ItemName(*program)).second == "启动失败：" + error; }));
        EXPECT_EQ(program->Stderr(),
                  "MerroUpdate: start-up stopped: " + error + "\nPelvane更新程序: 启动失败：" + error + "\n");
        EXPECT_FALSE(program->Exited());
    }

    std::unique_ptr<ChildProcess> program;
};

TEST_F(CheckIntervalTest, OneSecondChecksEverySecondFromOneSecondAfterStart)
{
    const auto times = CheckTimes(R"("1")", 3);
    ASSERT_GE(times.size(), 4u);
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(times[i] - times[i - 1], i == 1 ? 1000ms : 900ms) << "check " << i;
        EXPECT_LT(times[i] - times[i - 1], 3000ms) << "check " << i;
    }
}

TEST_F(CheckIntervalTest, LeadingBlankIsSkippedAndTextAfterTheDigitsIgnored)
{
    const auto times = CheckTimes(R"(" 2s")", 2);
    ASSERT_GE(times.size(), 3u);
    EXPECT_GE(times[1] - times[0], 2000ms);
    EXPECT_GE(times[2] - times[1], 1900ms);
    EXPECT_LT(times[2] - times[1], 5000ms);
}

TEST_F(CheckIntervalTest, EmptyValueChecksEveryTwentySeconds)
{
    const auto times = CheckTimes(R"("")", 1, 40s);
    ASSERT_EQ(times.size(), 2u);
    EXPECT_GE(times[1] - times[0], 20000ms);
    EXPECT_LT(times[1] - times[0], 25000ms);
}

TEST_F(CheckIntervalTest, TextThatIsNotANumberLeavesTheTrayWithoutATimer)
{
    ExpectTrayWithoutTimer(R"("abc")", "check interval \"abc\" is not a number");
    // Longer than the default period: no check ever comes.
    EXPECT_FALSE(Serve([&] { return !LogLinesWith("Download Process Start!").empty(); }, 22s));
}

TEST_F(CheckIntervalTest, NumberInsteadOfTextLeavesTheTrayWithoutATimer)
{
    ExpectTrayWithoutTimer("60", "[json.exception.type_error.302] type must be string, but is number");
    EXPECT_FALSE(Serve([&] { return !LogLinesWith("Download Process Start!").empty(); }, 3s));
}

}  // namespace
