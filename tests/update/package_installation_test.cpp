#include "update/package_installation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/host_warning.h"
#include "support/event_wait.h"
#include "support/installation_fixture.h"
#include "support/named_child.h"
#include "support/temp_folder.h"
#include "update/extension_replacement.h"
#include "update/local_config.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// What a folder outside the extension platform's holds.
const FolderTree kElsewhereTree = {{"keep.txt", "not the extension's"}};

class PackageInstallationTest : public InstallationTest {
protected:
    PackageInstallationTest() { WriteFileBytes("LocalConfig.json", LocalConfigText("", "1.0.0", "")); }

    // A start-up installation as the main window's creation handler runs it.
    bool RunSetup()
    {
        const ActivityLogSession session;
        outcome_ = SetupRoutine(session.log(), ShowHostRunningWarning);
        return outcome_.result != RunResult::kFailed;
    }

    void PlacePackage(const FolderTree& tree) { WriteFileBytes("com.qv.plug.zip", MakePackage(tree)); }

    void PlaceDamagedPackage() { WriteFileBytes("com.qv.plug.zip", MakeDamagedPackage()); }

    // Enough data that a replacement can be caught part-way.
    static FolderTree LargePackage()
    {
        FolderTree large = NewPackage;
        const std::string block(256 * 1024, 'b');
        for (int i = 0; i < 80; ++i) large["bulk/" + std::to_string(i) + ".bin"] = block;
        return large;
    }

    // A folder outside the extension platform's, which a link may name.
    fs::path Elsewhere()
    {
        const fs::path folder = work_.path() / "elsewhere";
        WriteTree(folder, kElsewhereTree);
        return folder;
    }

    void ExpectInstalledOnce()
    {
        EXPECT_EQ(ReadTree(Extension()), NewPackage);
        EXPECT_TRUE(NoReplacementLeftovers());
        EXPECT_EQ(ReadLocalConfig("Setup"), "yes");
        EXPECT_EQ(outcome_.result, RunResult::kInstalled);
        EXPECT_TRUE(fs::exists("com.qv.plug.zip"));
    }
};

TEST_F(PackageInstallationTest, SetupYesDoesNothingEvenWithAPackage)
{
    WriteFileBytes("LocalConfig.json", LocalConfigText("yes", "1.0.0", ""));
    const std::string config = ReadFileBytes("LocalConfig.json");
    PlacePackage(NewPackage);
    EXPECT_TRUE(RunSetup());
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"[info] Not Need Setup!"}));
    EXPECT_FALSE(fs::exists(AdobeFolder() / "CEP"));
    EXPECT_EQ(ReadFileBytes("LocalConfig.json"), config);
    EXPECT_NE(outcome_.result, RunResult::kInstalled);
}

TEST_F(PackageInstallationTest, AnyOtherSetupValueInstallsIntoMissingFolders)
{
    for (const std::string setup : {"", "no", "Yes", "YES", "yes ", " yes"}) {
        SCOPED_TRACE("Setup = \"" + setup + "\"");
        fs::remove_all(AdobeFolder() / "CEP");
        fs::remove_all("Log");
        outcome_ = {};
        WriteFileBytes("LocalConfig.json", LocalConfigText(setup, "1.0.0", ""));
        PlacePackage(NewPackage);

        EXPECT_TRUE(RunSetup());
        EXPECT_EQ(LogLines(), (std::vector<std::string>{"[info] Create directory!", "[info] Unzip Files Finish!",
                                                        "[info] Setup Complete!"}));
        ExpectInstalledOnce();
        EXPECT_EQ(ReadLocalConfig("Elasp"), "20");
    }
}

TEST_F(PackageInstallationTest, MissingPackageLogsTwoLinesAndCreatesNothing)
{
    EXPECT_FALSE(RunSetup());
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"[info] Zip File not Exist!", "[error] ExtractZipFile Error"}));
    EXPECT_FALSE(fs::exists(AdobeFolder() / "CEP"));
    EXPECT_EQ(ReadLocalConfig("Setup"), "");
    EXPECT_NE(outcome_.result, RunResult::kInstalled);
}

TEST_F(PackageInstallationTest, MissingSetupKeyFailsBeforeLookingForIllustrator)
{
    WriteFileBytes("LocalConfig.json", R"({"Elasp": "20", "url": "", "versionNumber": "1.0.0"})");
    PlacePackage(NewPackage);
    NamedChild illustrator("Illustrator.exe");
    ASSERT_TRUE(illustrator.started());
    testing_support::ScopedEnvironment no_display("DISPLAY", "");
    testing::internal::CaptureStderr();
    EXPECT_THAT([this] { RunSetup(); }, ThrowsMissingStringError());
    // No message box: the host was never looked for.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(fs::exists(Extension()));
    EXPECT_NE(outcome_.result, RunResult::kInstalled);
}

#if !defined(_WIN32)
// On Windows the warning is a real MessageBoxW, which waits for a click.
TEST_F(PackageInstallationTest, RunningIllustratorIsWarnedAboutAndInstalledAnyway)
{
    PlacePackage(NewPackage);
    NamedChild illustrator("C:\\Program Files\\Adobe\\Illustrator.exe");
    ASSERT_TRUE(illustrator.started());
    testing_support::ScopedEnvironment no_display("DISPLAY", "");
    testing_support::ScopedEnvironment no_wayland("WAYLAND_DISPLAY", "");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(RunSetup());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "温馨提示: 发现Adobe Illustrator在运行，请关闭AI完成安装\n");
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"[info] Found Illustrator Exist", "[info] Create directory!",
                                                    "[info] Unzip Files Finish!", "[info] Setup Complete!"}));
    ExpectInstalledOnce();
}
#endif

TEST_F(PackageInstallationTest, StartupInstallationWaitsWhileAnotherCopyReplacesTheExtension)
{
    PlacePackage(NewPackage);
    ReplacementByAnotherCopy other;
    ASSERT_TRUE(other.held());
    // Wall-clock time: the installation shows no sign of waiting, so the
    // release comes half a second in, well inside its 30-second wait.
    other.ReleaseAfter(std::chrono::milliseconds(500));
    EXPECT_TRUE(RunSetup());
    EXPECT_TRUE(other.released_early()) << "installed while the other copy held the lock";
    other.JoinReleaser();
    ExpectInstalledOnce();
}

#if !defined(_WIN32)
TEST_F(PackageInstallationTest, AnUnopenableLockIsLoggedAndTheInstallationGoesOn)
{
    fs::create_directories(AdobeFolder() / "com.qv.plug.lock");
    PlacePackage(NewPackage);
    EXPECT_TRUE(RunSetup());
    const std::vector<std::string> lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.front().starts_with("[warning] Extension Lock Error: Cannot open ")) << lines.front();
    EXPECT_TRUE(lines.front().ends_with("; going on without it")) << lines.front();
    EXPECT_EQ(lines.back(), "[info] Setup Complete!");
    ExpectInstalledOnce();
}

// Another user who could open the lock file could hold it and stall every
// replacement; one an earlier version left readable is closed too.
TEST_F(PackageInstallationTest, TheLockFileIsOpenToItsOwnerOnly)
{
    for (const bool left_by_earlier_version : {false, true}) {
        const fs::path lock = AdobeFolder() / "com.qv.plug.lock";
        fs::remove(lock);
        if (left_by_earlier_version) {
            WriteFileBytes(lock, "");
            fs::permissions(lock, fs::perms(0644));
        }
        WriteFileBytes("LocalConfig.json", LocalConfigText("", "1.0.0", ""));
        PlacePackage(NewPackage);
        EXPECT_TRUE(RunSetup());
        EXPECT_EQ(fs::status(lock).permissions(), fs::perms(0600)) << left_by_earlier_version;
    }
}
#endif

TEST_F(PackageInstallationTest, ExistingExtensionIsReplacedByExactlyThePackage)
{
    WriteTree(Extension(), OldExtension);
    WriteTree(Extensions() / "other.extension", {{"keep.txt", "another extension"}});
    PlacePackage(NewPackage);
    EXPECT_TRUE(RunSetup());
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"[info] Delete Old Files!", "[info] Unzip Files Finish!",
                                                    "[info] Setup Complete!"}));
    ExpectInstalledOnce();
    EXPECT_EQ(ReadTree(Extensions() / "other.extension"), (FolderTree{{"keep.txt", "another extension"}}));
}

TEST_F(PackageInstallationTest, OnlyTheMissingFolderLevelsAreCreated)
{
    fs::create_directories(Extensions());
    WriteTree(Extensions() / "other.extension", {{"keep.txt", "another extension"}});
    PlacePackage(NewPackage);
    EXPECT_TRUE(RunSetup());
    ExpectInstalledOnce();
    EXPECT_EQ(ReadTree(Extensions() / "other.extension"), (FolderTree{{"keep.txt", "another extension"}}));
}

TEST_F(PackageInstallationTest, MissingAdobeFolderFailsToCreateTheFirstLevel)
{
    fs::remove_all(AdobeFolder());
    PlacePackage(NewPackage);
    try {
        RunSetup();
        ADD_FAILURE() << "no error raised";
    } catch (const fs::filesystem_error& error) {
        EXPECT_EQ(error.path1(), SetAsideFolder().parent_path());
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    }
    EXPECT_FALSE(fs::exists(AdobeFolder()));
    EXPECT_EQ(ReadLocalConfig("Setup"), "");
    EXPECT_NE(outcome_.result, RunResult::kInstalled);
}

TEST_F(PackageInstallationTest, FileInTheWayOfAFolderFailsNamingIt)
{
    fs::create_directories(platform::NativePath(CepRootDir()));
    WriteFileBytes(Extensions(), "not a folder");
    PlacePackage(NewPackage);
    try {
        RunSetup();
        ADD_FAILURE() << "no error raised";
    } catch (const fs::filesystem_error& error) {
        EXPECT_EQ(error.path1(), Extensions());
    }
    EXPECT_EQ(ReadFileBytes(Extensions()), "not a folder");
    EXPECT_NE(outcome_.result, RunResult::kInstalled);
}

TEST_F(PackageInstallationTest, FailedExtractionLeavesTheOldExtensionExactlyAsItWas)
{
    WriteTree(Extension(), OldExtension);
    PlaceDamagedPackage();
    EXPECT_ANY_THROW(RunSetup());
    EXPECT_EQ(ReadTree(Extension()), OldExtension);
    EXPECT_TRUE(NoReplacementLeftovers());
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"[info] Delete Old Files!"}));
    EXPECT_EQ(ReadLocalConfig("Setup"), "");
    EXPECT_NE(outcome_.result, RunResult::kInstalled);

    // A package that is no archive at all, and a fresh installation.
    WriteFileBytes("com.qv.plug.zip", "this is not a zip file");
    EXPECT_ANY_THROW(RunSetup());
    EXPECT_EQ(ReadTree(Extension()), OldExtension);
    fs::remove_all(Extension());
    EXPECT_ANY_THROW(RunSetup());
    EXPECT_FALSE(fs::exists(Extension()));
    EXPECT_TRUE(NoReplacementLeftovers());
}

// Crashes at each point of a replacement leave these folders; the next start
// (SetupRoutine, even with nothing to install) puts things right.
TEST_F(PackageInstallationTest, NextStartRestoresAReplacementInterruptedDuringExtraction)
{
    WriteFileBytes("LocalConfig.json", LocalConfigText("yes", "1.0.0", ""));
    RecordReplacement();
    WriteTree(SetAsideFolder(), OldExtension);
    WriteTree(StagingFolder(), {{"index.html", "<html>half"}});
    // What an earlier version's extraction into the extension folder left.
    WriteTree(Extension(), {{"index.html", "<html>half"}});
    EXPECT_TRUE(RunSetup());
    EXPECT_EQ(ReadTree(Extension()), OldExtension);
    EXPECT_TRUE(NoReplacementLeftovers());
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"[info] Not Need Setup!"}));
}

TEST_F(PackageInstallationTest, NextStartRestoresAReplacementInterruptedRightAfterTheMoveAside)
{
    WriteFileBytes("LocalConfig.json", LocalConfigText("yes", "1.0.0", ""));
    RecordReplacement();
    WriteTree(SetAsideFolder(), OldExtension);
    EXPECT_TRUE(RunSetup());
    EXPECT_EQ(ReadTree(Extension()), OldExtension);
    EXPECT_TRUE(NoReplacementLeftovers());
}

TEST_F(PackageInstallationTest, NextStartFinishesAReplacementInterruptedWhileDiscardingTheOld)
{
    WriteFileBytes("LocalConfig.json", LocalConfigText("yes", "1.0.0", ""));
    RecordReplacement();
    WriteTree(DiscardFolder(), {{"obsolete/deep/file.txt", "half removed"}});
    WriteTree(Extension(), NewPackage);
    EXPECT_TRUE(RunSetup());
    EXPECT_EQ(ReadTree(Extension()), NewPackage);
    EXPECT_TRUE(NoReplacementLeftovers());
}

#if !defined(_WIN32)
// The extraction is killed in a forked child.
TEST_F(PackageInstallationTest, InstallationKilledDuringExtractionIsUndoneByTheNextStart)
{
    WriteTree(Extension(), OldExtension);
    PlacePackage(LargePackage());

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const ActivityLogSession session;
        ExtractPackage(session.log());
        _exit(0);
    }
    bool killed_midway = false;
    const auto deadline = std::chrono::steady_clock::now() + testing_support::kEventWait;
    while (!killed_midway && std::chrono::steady_clock::now() < deadline) {
        std::error_code ignored;
        if (fs::exists(SetAsideFolder(), ignored) && fs::exists(StagingFolder() / "bulk", ignored)) {
            kill(child, SIGKILL);
            killed_midway = true;
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(killed_midway && WIFSIGNALED(status)) << "the extraction ended before it could be interrupted";

    WriteFileBytes("LocalConfig.json", LocalConfigText("yes", "1.0.0", ""));
    EXPECT_TRUE(RunSetup());
    EXPECT_EQ(ReadTree(Extension()), OldExtension);
    EXPECT_TRUE(NoReplacementLeftovers());
}
#endif

// Another user's process may have made these: without the program's record
// the start-up restores and removes nothing, and says so.
TEST_F(PackageInstallationTest, ReplacementFoldersWithoutTheRecordAreLeftAndTheLiveExtensionKept)
{
    WriteFileBytes("LocalConfig.json", LocalConfigText("yes", "1.0.0", ""));
    for (const fs::path& planted : {SetAsideFolder(), DiscardFolder(), StagingFolder()}) {
        SCOPED_TRACE(planted);
        fs::remove_all("Log");
        WriteTree(Extension(), OldExtension);
        WriteTree(planted, NewPackage);
        EXPECT_TRUE(RunSetup());
        EXPECT_EQ(LogLines(), (std::vector<std::string>{"[error] Recover Error: " + platform::GenericUtf8Path(planted) +
                                                            " was not recorded by this program",
                                                        "[info] Not Need Setup!"}));
        EXPECT_EQ(ReadTree(Extension()), OldExtension);
        EXPECT_EQ(ReadTree(planted), NewPackage);
        fs::remove_all(planted);
    }
}

#if !defined(_WIN32)
// Found before the replacement starts: refused, whichever of its folders the
// link stands for, and nothing is written where it points.
TEST_F(PackageInstallationTest, ALinkOnTheReplacementsPathsIsRefused)
{
    PlacePackage(NewPackage);
    for (const fs::path& link : {Extension(), SetAsideFolder(), StagingFolder(), DiscardFolder(), Extensions()}) {
        SCOPED_TRACE(link);
        fs::remove_all(AdobeFolder() / "CEP");
        const bool live_extension = link != Extensions() && link != Extension();
        if (live_extension) WriteTree(Extension(), OldExtension);
        fs::create_directories(link.parent_path());
        fs::create_directory_symlink(Elsewhere(), link);
        const ActivityLogSession session;
        EXPECT_THROW(ExtractPackage(session.log()), fs::filesystem_error);
        EXPECT_EQ(ReadTree(Elsewhere()), kElsewhereTree);
        EXPECT_TRUE(fs::is_symlink(link));
        if (live_extension) {
            EXPECT_EQ(ReadTree(Extension()), OldExtension);
        }
    }
}

// Put there by a process that can write in the extensions folder as soon as
// the old folder has moved aside: the package goes into the program's own
// new folder, whose rename into place fails on the link, and the old
// extension comes back in the link's place.
TEST_F(PackageInstallationTest, ALinkPutInPlaceOfTheExtensionDuringAReplacementIsNotWrittenThrough)
{
    const fs::path elsewhere = Elsewhere();
    WriteTree(Extension(), OldExtension);
    PlacePackage(LargePackage());
    std::atomic<bool> planted{false};
    std::thread planter([&] {
        for (int poll = 0; poll < 200000; ++poll) {
            std::error_code error;
            if (fs::exists(SetAsideFolder(), error)) {
                fs::create_directory_symlink(elsewhere, Extension(), error);
                planted = !error;
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    {
        const ActivityLogSession session;
        EXPECT_THROW(ExtractPackage(session.log()), fs::filesystem_error);
    }
    planter.join();
    ASSERT_TRUE(planted) << "the replacement was over before the link could be put in place";
    EXPECT_EQ(ReadTree(elsewhere), kElsewhereTree);
    EXPECT_FALSE(fs::is_symlink(Extension()));
    EXPECT_EQ(ReadTree(Extension()), OldExtension);
    EXPECT_TRUE(NoReplacementLeftovers());
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"[info] Delete Old Files!"}));
}
#endif

TEST_F(PackageInstallationTest, InstallationAfterAnInterruptedOneStartsFromTheRestoredExtension)
{
    RecordReplacement();
    WriteTree(SetAsideFolder(), OldExtension);
    WriteTree(Extension(), {{"index.html", "<html>half"}});
    PlaceDamagedPackage();
    const ActivityLogSession session;
    EXPECT_ANY_THROW(ExtractPackage(session.log()));
    EXPECT_EQ(ReadTree(Extension()), OldExtension);
    PlacePackage(NewPackage);
    EXPECT_TRUE(ExtractPackage(session.log()));
    EXPECT_EQ(ReadTree(Extension()), NewPackage);
    EXPECT_TRUE(NoReplacementLeftovers());
}

}  // namespace
