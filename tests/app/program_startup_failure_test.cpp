#include <csignal>
#include <cstring>

#include "platform/process/child_process.h"
#include "program_fixture.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

constexpr const char* FailurePrefix = "启动失败：";

// A start-up whose creation handler failed: the program runs on with its tray
// icon, the reason in the icon's tip, in one message box (standard error, as
// the tests have no display) and, where the log can be written, in the log.
class StartupFailureTest : public ProgramTest {
protected:
    StartupFailureTest() { WriteFileBytes(work() / "com.qv.plug.zip", MakePackage(work() / "scratch", "<p>1</p>\n")); }

    std::filesystem::path Adobe(const std::filesystem::path& prefix) const
    {
        return prefix / "drive_c/Program Files/Common Files/Adobe";
    }
    std::filesystem::path DefaultAdobe() const { return Adobe(std::getenv("WINEPREFIX")); }

    // The program started with a private mount namespace in which the shell
    // commands ran first, from its working folder as mounted then; null when
    // this machine gives no such namespace.
    std::unique_ptr<ChildProcess> StartWithMounts(const std::string& mounts)
    {
        if (platform::RunProgram({"unshare", "--mount", "true"}) != 0) return nullptr;
        return Start("merroupdate", {"unshare", "--mount", "sh", "-c", mounts + " && cd \"$PWD\" && exec \"$0\"",
                                     BuildPath("bin/merroupdate")});
    }

    // Checks what the user sees, ends the program with SIGTERM and returns
    // the reason shown.
    std::string ExpectReported(ChildProcess& program, const std::string& reason_part)
    {
        EXPECT_TRUE(WaitForTrayItem(program)) << program.Stderr();
        const auto [title, text] = client().ItemToolTip(ItemName(program));
        EXPECT_EQ(title, "Pelvane更新程序");
        EXPECT_EQ(text.rfind(FailurePrefix, 0), 0u) << text;
        const std::string reason = text.substr(std::min(text.size(), std::strlen(FailurePrefix)));
        EXPECT_NE(reason.find(reason_part), std::string::npos) << reason;
        EXPECT_EQ(program.Stderr(),
                  "MerroUpdate: start-up stopped: " + reason + "\nPelvane更新程序: " + FailurePrefix + reason + "\n");
        // No timer: the one-second interval of the tests would have checked by now.
        EXPECT_TRUE(LoopPassedTime(program, 1s));
        EXPECT_TRUE(LogLinesWith("Download Process Start!").empty());
        EXPECT_FALSE(program.Exited());
        EXPECT_TRUE(NotificationSummaries().empty());

        program.Signal(SIGTERM);
        EXPECT_EQ(WaitForExit(program), 0);
        EXPECT_FALSE(client().NameHasOwner(ItemName(program)));
        return reason;
    }

    void ExpectLoggedAfter(const std::vector<std::string>& lines, const std::string& reason)
    {
        std::vector<std::string> expected = lines;
        expected.push_back("Start Failed: " + reason);
        EXPECT_EQ(LogTexts(), expected);
        const auto failed = LogLinesWith("Start Failed: " + reason);
        ASSERT_EQ(failed.size(), 1u);
        EXPECT_EQ(failed[0].level, "error");
    }
};

TEST_F(StartupFailureTest, NoAdobeFolderInThePrefix)
{
    WriteLocalConfig(R"("1")", "no");
    const auto program = Start();
    const std::string reason = ExpectReported(*program, "cannot create the folder");
    ExpectLoggedAfter({"Start Sucess!"}, reason);
    EXPECT_NE(ReadFileBytes(work() / "LocalConfig.json").find(R"("Setup": "no")"), std::string::npos);
}

TEST_F(StartupFailureTest, WrongOrUnsetWinePrefix)
{
    std::filesystem::create_directories(DefaultAdobe());
    WriteLocalConfig(R"("1")", "no");
    {
        const testing_support::ScopedEnvironment wrong("WINEPREFIX", (work() / "no such prefix").string());
        const auto program = Start("wrong-prefix");
        ExpectReported(*program, (work() / "no such prefix").string());
    }
    const testing_support::ScopedEnvironment unset("WINEPREFIX", "");
    const auto program = Start("unset-prefix");
    ExpectReported(*program, (work() / "home/.wine/drive_c").string());
}

TEST_F(StartupFailureTest, MalformedLocalConfig)
{
    WriteFileBytes(work() / "LocalConfig.json", "{\"Setup\": \"no\",");
    const auto program = Start();
    const std::string reason = ExpectReported(*program, "parse error");
    ExpectLoggedAfter({"Start Sucess!"}, reason);
}

TEST_F(StartupFailureTest, NoCodecLibrary)
{
    std::filesystem::create_directories(DefaultAdobe());
    std::filesystem::create_directories(work() / "empty");
    WriteLocalConfig(R"("1")", "no");
    const auto program = StartWithMounts("mount --bind '" + (work() / "empty").string() + "' /usr/lib/p7zip");
    if (!program) GTEST_SKIP() << "hiding the codec library needs a mount namespace";
    const std::string reason = ExpectReported(*program, "Cannot load 7-zip library (error 126)");
    ExpectLoggedAfter({"Start Sucess!", "Create directory!"}, reason);
}

TEST_F(StartupFailureTest, UnwritableWorkingFolder)
{
    WriteLocalConfig(R"("1")");
    const std::string folder = "'" + work().string() + "'";
    const auto program =
        StartWithMounts("mount --bind " + folder + " " + folder + " && mount -o remount,bind,ro " + folder);
    if (!program) GTEST_SKIP() << "a read-only working folder for root needs a mount namespace";
    ExpectReported(*program, "Log/action-log.txt");
    EXPECT_FALSE(std::filesystem::exists(work() / "Log"));
}

TEST_F(StartupFailureTest, ReadOnlyLocalConfigAfterACompletedInstallation)
{
    std::filesystem::create_directories(DefaultAdobe());
    WriteLocalConfig(R"("1")", "no");
    std::filesystem::permissions(work() / "LocalConfig.json", std::filesystem::perms::owner_read);
    const auto program = Start();
    const std::string reason = ExpectReported(*program, "read-only");
    ExpectLoggedAfter({"Start Sucess!", "Create directory!", "Unzip Files Finish!"}, reason);
    EXPECT_EQ(ReadFileBytes(DefaultAdobe() / "CEP/extensions/com.qv.plug/index.html"), "<p>1</p>\n");
}

}  // namespace
