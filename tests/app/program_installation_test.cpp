#include <csignal>
#include <optional>

#include "platform/process/machine_lock.h"
#include "program_fixture.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class InstallationTest : public ProgramTest {
protected:
    InstallationTest() { std::filesystem::create_directories(prefix_adobe()); }

    std::filesystem::path prefix_adobe() const
    {
        return std::filesystem::path(std::getenv("WINEPREFIX")) / "drive_c/Program Files/Common Files/Adobe";
    }
    std::filesystem::path extension() const { return prefix_adobe() / "CEP/extensions/com.qv.plug"; }
    std::filesystem::path scratch() const { return work() / "scratch"; }

    bool WaitForNotification(const std::string& summary)
    {
        return Serve([&] {
            for (const auto& shown : NotificationSummaries()) {
                if (shown == summary) return true;
            }
            return false;
        });
    }

    std::string LocalConfig() const { return ReadFileBytes(work() / "LocalConfig.json"); }

    std::unique_ptr<ChildProcess> program;
};

TEST_F(InstallationTest, StartupInstallsTheDeliveredPackageAndAnnouncesIt)
{
    WriteFileBytes(work() / "com.qv.plug.zip", MakePackage(scratch(), "<p>1</p>\n"));
    WriteLocalConfig(R"("60")", "");
    program = Start();

    ASSERT_TRUE(WaitForNotification("Pelvane安装成功"));
    EXPECT_EQ(ReadFileBytes(extension() / "index.html"), "<p>1</p>\n");
    EXPECT_EQ(ReadFileBytes(extension() / "CSXS/manifest.xml"), "<ExtensionManifest/>\n");
    EXPECT_NE(LocalConfig().find(R"("Setup": "yes")"), std::string::npos) << LocalConfig();
    EXPECT_TRUE(std::filesystem::exists(work() / "com.qv.plug.zip"));
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"Start Sucess!", "Create directory!", "Unzip Files Finish!",
                                                    "Setup Complete!"}));
    EXPECT_TRUE(WaitForTrayItem(*program));
    EXPECT_EQ(NotificationSummaries().size(), 1u);
}

TEST_F(InstallationTest, UpdateInstallsTheNewVersionRecordsItAndAnnouncesIt)
{
    std::filesystem::create_directories(extension() / "old");
    WriteFileBytes(extension() / "old/stale.txt", "stale");
    WriteLocalConfig(R"("1")", "yes", "1.0.0");
    ServeVersion("1.0.1", MakePackage(scratch(), "<p>2</p>\n"));
    program = Start();

    ASSERT_TRUE(WaitForNotification("Pelvane更新成功"));
    EXPECT_EQ(ReadFileBytes(extension() / "index.html"), "<p>2</p>\n");
    EXPECT_FALSE(std::filesystem::exists(extension() / "old"));
    EXPECT_NE(LocalConfig().find(R"("versionNumber": "1.0.1")"), std::string::npos) << LocalConfig();
    EXPECT_NE(LocalConfig().find(R"("url": ")" + VersionUrl() + "\""), std::string::npos) << LocalConfig();

    // The next check finds the versions equal.
    EXPECT_TRUE(Serve([&] { return !LogLinesWith("Not Need Download Zip").empty(); }));
    EXPECT_EQ(NotificationSummaries(), std::vector<std::string>{"Pelvane更新成功"});
    // Its transfers ran in child processes: the TLS stack never stays in the program.
    const std::string maps = ReadFileBytes("/proc/" + std::to_string(program->pid()) + "/maps");
    EXPECT_EQ(maps.find("libcurl"), std::string::npos);
    EXPECT_EQ(maps.find("libcrypto"), std::string::npos);
}

// Another copy of the machine replacing the extension: the start-up and each
// update run give up after their wait, shortened here from 30 s and 5 s.
TEST_F(InstallationTest, LockHeldByAnotherCopyLeavesTheUpdateToTheRunAfterItsRelease)
{
    const testing_support::ScopedEnvironment startup_wait("MERRO_TEST_STARTUP_LOCK_WAIT", "200");
    const testing_support::ScopedEnvironment update_wait("MERRO_TEST_UPDATE_LOCK_WAIT", "200");
    WriteLocalConfig(R"("1")", "yes", "1.0.0");
    ServeVersion("1.0.1", MakePackage(scratch(), "<p>2</p>\n"));
    std::optional<platform::MachineLock> other;
    other.emplace(L"", (prefix_adobe() / "com.qv.plug.lock").wstring(), 0ms);
    ASSERT_TRUE(other->held()) << other->error();
    program = Start();

    const std::string busy = "Extension Busy: another copy is replacing it";
    ASSERT_TRUE(Serve([&] { return LogLinesWith(busy).size() >= 2; })) << program->Stderr();
    EXPECT_EQ(LogTexts().at(1), busy);
    EXPECT_FALSE(std::filesystem::exists(extension()));
    other.reset();
    ASSERT_TRUE(WaitForNotification("Pelvane更新成功"));
    EXPECT_EQ(ReadFileBytes(extension() / "index.html"), "<p>2</p>\n");
    EXPECT_NE(LocalConfig().find(R"("versionNumber": "1.0.1")"), std::string::npos) << LocalConfig();
}

TEST_F(InstallationTest, SessionLauncherTakesTheWinePrefixFromItsEnvironmentFile)
{
    const auto home = work() / "home";
    const auto folder = home / ".local/share/merroupdate";
    std::filesystem::create_directories(folder);
    WriteFileBytes(folder / "com.qv.plug.zip", MakePackage(scratch(), "<p>session</p>\n"));
    WriteFileBytes(folder / "LocalConfig.json", R"({"Elasp": "60", "Setup": "no", "url": "", "versionNumber": "1"})");
    const auto adobe = home / "custom prefix/drive_c/Program Files/Common Files/Adobe";
    std::filesystem::create_directories(adobe);
    std::filesystem::create_directories(home / ".config/merroupdate");
    WriteFileBytes(home / ".config/merroupdate/environment", "# Illustrator's prefix\nWINEPREFIX=~/custom prefix\n");
    const testing_support::ScopedEnvironment config_home("XDG_CONFIG_HOME", "");

    program = Start("session", {BuildPath("bin/merroupdate-session")});
    ASSERT_TRUE(WaitForNotification("Pelvane安装成功")) << program->Stderr();
    EXPECT_EQ(ReadFileBytes(adobe / "CEP/extensions/com.qv.plug/index.html"), "<p>session</p>\n");
    EXPECT_FALSE(std::filesystem::exists(extension())) << "installed into the inherited prefix";
    EXPECT_NE(ReadFileBytes(folder / "Log/action-log.txt").find("Setup Complete!"), std::string::npos);
}

TEST_F(InstallationTest, SessionLauncherMakesTheFolderFromTheDefaultsOnlyWhereIllustratorIs)
{
    const auto folder = work() / "home/.local/share/merroupdate";
    const std::filesystem::path defaults = BuildPath("share/merroupdate");
    const testing_support::ScopedEnvironment config_home("XDG_CONFIG_HOME", "");
    const std::vector<std::string> launcher = {BuildPath("bin/merroupdate-session")};

    std::filesystem::remove_all(prefix_adobe());
    EXPECT_EQ(Start("no illustrator", launcher)->Wait(testing_support::kEventWait), 0);
    EXPECT_FALSE(std::filesystem::exists(folder)) << "a folder for a user without Illustrator";

    std::filesystem::create_directories(prefix_adobe());
    program = Start("first login", launcher);
    ASSERT_TRUE(WaitForNotification("Pelvane安装成功")) << program->Stderr();
    EXPECT_EQ(ReadFileBytes(folder / "com.qv.plug.zip"), ReadFileBytes(defaults / "com.qv.plug.zip"));
    EXPECT_TRUE(std::filesystem::exists(extension() / "CSXS/manifest.xml"));
    // A click on the notifications' entry comes back through the launcher.
    const std::string entry = ReadFileBytes(work() / "home/.local/share/applications/Pelvane.desktop");
    EXPECT_NE(entry.find("Exec=\"" + BuildPath("bin/merroupdate-session") + "\"\n"), std::string::npos) << entry;
    program->Signal(SIGTERM);
    ASSERT_EQ(program->Wait(testing_support::kEventWait), 0);

    // What the program wrote since is the user's: the next login keeps it.
    const std::string written = ReadFileBytes(folder / "LocalConfig.json");
    EXPECT_NE(written.find(R"("Setup": "yes")"), std::string::npos) << written;
    program = Start("next login", launcher);
    EXPECT_TRUE(WaitForTrayItem(*program)) << program->Stderr();
    EXPECT_EQ(ReadFileBytes(folder / "LocalConfig.json"), written);
    EXPECT_EQ(NotificationSummaries().size(), 1u);
}

}  // namespace
