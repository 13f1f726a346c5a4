#include "program_fixture.h"
#include "support/scoped_environment.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// The update checks, timed by the log's own timestamps: each check writes
// "Download Process Start!" as its first line and, the versions being equal,
// "Not Need Download Zip" as its last; start-up writes "Start Sucess!" just
// before it starts the timer. A timer never fires early, so the spacing has
// a floor; a loaded machine may delay any tick, so it has no ceiling. The
// default interval is shortened to two seconds, as only the tests can.
class CheckIntervalTest : public ProgramTest {
protected:
    static constexpr milliseconds kDefaultInterval = 2s;

    // Waits for `count` checks and returns the log's times of start-up and
    // of each check.
    std::vector<milliseconds> CheckTimes(const std::string& elasp, std::size_t count)
    {
        WriteLocalConfig(elasp);
        program = Start();
        EXPECT_TRUE(Serve([&] { return LogLinesWith("Not Need Download Zip").size() >= count; }));
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
        // A timer of the default interval, which a wrong reading could fall
        // back to, would have checked by now.
        ASSERT_TRUE(LoopPassedTime(*program, kDefaultInterval));
        EXPECT_TRUE(LogLinesWith("Download Process Start!").empty());
    }

    testing_support::ScopedEnvironment default_interval{"MERRO_TEST_DEFAULT_CHECK_INTERVAL",
                                                        std::to_string(kDefaultInterval.count())};
    std::unique_ptr<ChildProcess> program;
};

TEST_F(CheckIntervalTest, OneSecondChecksEverySecondFromOneSecondAfterStart)
{
    const auto times = CheckTimes(R"("1")", 3);
    ASSERT_GE(times.size(), 4u);
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(times[i] - times[i - 1], i == 1 ? 1000ms : 900ms) << "check " << i;
    }
}

TEST_F(CheckIntervalTest, LeadingBlankIsSkippedAndTextAfterTheDigitsIgnored)
{
    const auto times = CheckTimes(R"(" 2s")", 2);
    ASSERT_GE(times.size(), 3u);
    EXPECT_GE(times[1] - times[0], 2000ms);
    EXPECT_GE(times[2] - times[1], 1900ms);
}

// The default of twenty seconds itself is CheckIntervalSeconds's, tested alone.
TEST_F(CheckIntervalTest, EmptyValueChecksAtTheDefaultInterval)
{
    const auto times = CheckTimes(R"("")", 2);
    ASSERT_GE(times.size(), 3u);
    EXPECT_GE(times[1] - times[0], kDefaultInterval);
    EXPECT_GE(times[2] - times[1], kDefaultInterval - 100ms);
}

TEST_F(CheckIntervalTest, TextThatIsNotANumberLeavesTheTrayWithoutATimer)
{
    ExpectTrayWithoutTimer(R"("abc")", "check interval \"abc\" is not a number");
}

TEST_F(CheckIntervalTest, NumberInsteadOfTextLeavesTheTrayWithoutATimer)
{
    ExpectTrayWithoutTimer("60", "[json.exception.type_error.302] type must be string, but is number");
}

}  // namespace
