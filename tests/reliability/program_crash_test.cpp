// The real program killed with SIGKILL at many points of an update run, then
// started again: after the restart's recovery the local configuration is
// valid and names the old or the new version, the extension folder holds
// exactly the old or exactly the new package, the log reads line by line, and
// the restarted program's next run completes the update.
//
// The kill points are driven deterministically: a loopback server that stops
// sending at chosen bytes of the version document and of the package, the
// number of files extracted so far, and the file events of the configuration
// write.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "app/program_fixture.h"
#include "platform/base/unique_fd_linux.h"
#include "support/scripted_server.h"
#include "support/temp_folder.h"
#include "support/tree_snapshot.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::kEventWait;
using testing_support::ReadFileBytes;
using testing_support::ScriptedServer;
using testing_support::TreeSnapshot;
using testing_support::WriteFileBytes;

constexpr int kBulkFiles = 200;

class ProgramCrashTest : public ProgramTest {
protected:
    ProgramCrashTest() : service_([this](int& socket, const std::string& path) { Answer(socket, path); })
    {
        fs::create_directories(Adobe());
        MakeReferenceTrees();
    }
    ~ProgramCrashTest() override { hold_version_document_ = false; }

    static fs::path Adobe() { return fs::path(std::getenv("WINEPREFIX")) / "drive_c/Program Files/Common Files/Adobe"; }
    static fs::path Extension() { return Adobe() / "CEP/extensions/com.qv.plug"; }
    fs::path OldTree() const { return work() / "reference-old"; }
    fs::path NewTree() const { return work() / "reference-new"; }

    // Where the server stops sending: a byte of the version document or of
    // the package; npos sends everything.
    struct Stall {
        std::string path;
        std::size_t byte = std::string::npos;
    };

    std::unique_ptr<ChildProcess> StartCounted(const std::string& name)
    {
        ++starts_;
        return Start(name);
    }

    // Version 1 and the old extension installed, as before every kill.
    void InstallOldVersion()
    {
        hold_version_document_ = false;
        WriteFileBytes(work() / "LocalConfig.json",
                       testing_support::LocalConfigText("yes", "1", service_.Url("/version"), "1"));
        fs::remove_all(Adobe() / "CEP");
        fs::create_directories(Extension().parent_path());
        fs::copy(OldTree(), Extension(), fs::copy_options::recursive);
        fs::remove(work() / "com.qv.plug.zip");
    }

    // Starts the program and kills it once `reached` holds; false when the
    // point never came.
    bool KillWhen(const std::function<bool()>& reached, bool serve_bus = true)
    {
        auto program = StartCounted("killed");
        bool hit = false;
        if (serve_bus) {
            hit = Serve(reached);
        } else {
            // Nothing of an update run talks to the bus; poll tightly instead.
            if (!WaitForTrayItem(*program)) {
                ADD_FAILURE() << "no tray item; stderr: " << program->Stderr();
                return false;
            }
            const auto deadline = std::chrono::steady_clock::now() + kEventWait;
            while (!(hit = reached()) && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(200us);
            }
        }
        program->Signal(SIGKILL);
        program->Wait(kEventWait);
        return hit;
    }

    // Restarts the program with the service answering in full; checks the
    // state right after the start-up recovery, then that the next run
    // installs version 2.
    void ExpectRecoveredAndRetried(const std::string& point)
    {
        SCOPED_TRACE(point);
        ++points_tried_;
        stall_ = {};
        hold_version_document_ = true;
        auto program = StartCounted("restarted");
        ASSERT_TRUE(WaitForTrayItem(*program)) << program->Stderr();
        // The creation handler closes the log just after adding the icon.
        ASSERT_TRUE(Serve([&] { return LogLinesWith("Not Need Setup!").size() == starts_; }));
        // The first tick waits for the held version document, so nothing moves.
        ExpectOldOrNew();
        hold_version_document_ = false;
        // The extension is complete before the version is recorded.
        ASSERT_TRUE(Serve([&] { return InstalledVersion() == "2"; })) << "the next run did not update";
        EXPECT_EQ(Snapshot(Extension()), Snapshot(NewTree()));
    }

    void ExpectOldOrNew()
    {
        nlohmann::json config;
        ASSERT_NO_THROW(config = nlohmann::json::parse(ReadFileBytes(work() / "LocalConfig.json")));
        ASSERT_TRUE(config.is_object());
        const std::string version = config.value("versionNumber", "");
        EXPECT_TRUE(version == "1" || version == "2") << version;
        EXPECT_EQ(config.value("Elasp", ""), "1");
        EXPECT_EQ(config.value("Setup", ""), "yes");
        const TreeSnapshot extension = Snapshot(Extension());
        EXPECT_TRUE(extension == Snapshot(OldTree()) || extension == Snapshot(NewTree()))
            << "a mix of the two packages:" << extension;
        EXPECT_FALSE(fs::exists(Adobe() / "CEP/com.qv.plug.old"));
        EXPECT_FALSE(fs::exists(Adobe() / "CEP/com.qv.plug.discard"));
        EXPECT_FALSE(fs::exists(Adobe() / "CEP/com.qv.plug.new"));
        EXPECT_FALSE(fs::exists(work() / "com.qv.plug.set-aside"));
        // Every line of the log is whole; the fixture fails on any other.
        ReadLog();
    }

    std::string InstalledVersion() const
    {
        try {
            return nlohmann::json::parse(ReadFileBytes(work() / "LocalConfig.json")).value("versionNumber", "");
        } catch (const nlohmann::json::exception&) {
            return "";
        }
    }

    static TreeSnapshot Snapshot(const fs::path& folder)
    {
        std::error_code missing;
        if (!fs::exists(folder, missing)) return TreeSnapshot();
        return TreeSnapshot(folder, {});
    }

    static std::size_t FilesIn(const fs::path& folder)
    {
        std::error_code error;
        std::size_t count = 0;
        for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
             it.increment(error)) {
            ++count;
        }
        return count;
    }

    std::atomic<bool> stalled_{false};
    Stall stall_;
    std::string package_;
    std::string document_;
    int points_tried_ = 0;
    std::size_t starts_ = 0;

private:
    void MakeReferenceTrees()
    {
        fs::create_directories(OldTree() / "CSXS");
        WriteFileBytes(OldTree() / "CSXS/manifest.xml", "<ExtensionManifest Version=\"1.0\"/>");
        WriteFileBytes(OldTree() / "index.html", "<html>old</html>");
        fs::create_directories(NewTree() / "CSXS");
        fs::create_directories(NewTree() / "bulk");
        WriteFileBytes(NewTree() / "CSXS/manifest.xml", "<ExtensionManifest Version=\"2.0\"/>");
        WriteFileBytes(NewTree() / "index.html", "<html>new</html>");
        std::string block(128 * 1024, 'b');
        for (int i = 0; i < kBulkFiles; ++i) {
            block[static_cast<std::size_t>(i)] = 'x';
            WriteFileBytes(NewTree() / "bulk" / (std::to_string(i) + ".bin"), block);
        }
        ASSERT_EQ(testing_support::ZipFolder(NewTree(), work() / "new.zip", {"-0", "-r"}), 0);
        package_ = ReadFileBytes(work() / "new.zip");
        fs::remove(work() / "new.zip");
        document_ = testing_support::VersionDocument("2", service_.Url("/package.zip"));
    }

    void Answer(int& socket, const std::string& path)
    {
        const std::string& body = path == "/package.zip" ? package_ : document_;
        if (path == "/version") {
            // Held until the test has looked, however long that takes on a
            // loaded machine; the program asks again if its deadline passes.
            const auto limit = std::chrono::steady_clock::now() + kEventWait;
            while (hold_version_document_ && std::chrono::steady_clock::now() < limit)
                std::this_thread::sleep_for(10ms);
        }
        if (path != stall_.path) return ScriptedServer::Send(socket, ScriptedServer::Head(body.size()) + body);
        ScriptedServer::Send(socket, ScriptedServer::Head(body.size()) + body.substr(0, stall_.byte));
        stalled_ = true;
        ScriptedServer::StallUntilTheClientLeaves(socket);
    }

    std::atomic<bool> hold_version_document_{false};
    ScriptedServer service_;
};

TEST_F(ProgramCrashTest, KilledWhileDownloadingTheVersionDocumentOrThePackage)
{
    const std::size_t document = document_.size();
    const std::size_t package = package_.size();
    const std::vector<Stall> stalls = {
        {"/version", 0},
        {"/version", 1},
        {"/version", document / 2},
        {"/version", document - 1},
        {"/package.zip", 0},
        {"/package.zip", 30},  // inside the first local header
        {"/package.zip", package / 3},
        {"/package.zip", package / 2},
        {"/package.zip", package - 30},  // inside the central directory
        {"/package.zip", package - 1},
    };
    for (const Stall& stall : stalls) {
        const std::string point = stall.path + " at byte " + std::to_string(stall.byte);
        InstallOldVersion();
        stall_ = stall;
        stalled_ = false;
        ASSERT_TRUE(KillWhen([this] { return stalled_.load(); })) << point << " never reached";
        ExpectRecoveredAndRetried(point);
    }
    std::cout << "download kill points tried: " << points_tried_ << "\n";
}

// Polled, so a late point may find the extraction already done; that kill
// still counts, but most points must land part-way.
TEST_F(ProgramCrashTest, KilledWhileExtractingAPackage)
{
    const fs::path set_aside = Adobe() / "CEP/com.qv.plug.old";
    const fs::path staging = Adobe() / "CEP/com.qv.plug.new";
    int part_way = 0;
    const std::size_t thresholds[] = {0, 1, 20, 100, 150, kBulkFiles - 1};
    for (const std::size_t extracted : thresholds) {
        const std::string point = std::to_string(extracted) + " files extracted";
        InstallOldVersion();
        bool extracting = false;
        const bool hit = KillWhen(
            [&] {
                std::error_code ignored;
                extracting = fs::exists(set_aside, ignored) && FilesIn(staging / "bulk") >= extracted;
                return extracting || InstalledVersion() == "2";
            },
            false);
        ASSERT_TRUE(hit) << point << " never reached";
        part_way += extracting;
        ExpectRecoveredAndRetried(point);
    }
    EXPECT_GE(part_way, 4) << "too few kills landed during the extraction";
    std::cout << "extraction kill points tried: " << points_tried_ << ", " << part_way << " during the extraction\n";
}

// The configuration is written once (version and source together) to a
// temporary file renamed over the old one: killed at each of those events.
TEST_F(ProgramCrashTest, KilledWhileWritingTheConfiguration)
{
    for (int event = 1; event <= 2; ++event) {
        const std::string point = "configuration file event " + std::to_string(event);
        InstallOldVersion();
        const platform::UniqueFd watch(inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
        ASSERT_GE(watch.get(), 0);
        ASSERT_GE(inotify_add_watch(watch.get(), work().c_str(), IN_CREATE | IN_MOVED_TO), 0);
        int seen = 0;
        const bool hit = KillWhen(
            [&] {
                alignas(inotify_event) char buffer[4096];
                const ssize_t got = read(watch.get(), buffer, sizeof buffer);
                for (ssize_t at = 0; at < got;) {
                    const auto* change = reinterpret_cast<const inotify_event*>(buffer + at);
                    if (std::string(change->len ? change->name : "").starts_with("LocalConfig.json")) ++seen;
                    at += static_cast<ssize_t>(sizeof(inotify_event) + change->len);
                }
                return seen >= event;
            },
            false);
        ASSERT_TRUE(hit) << point << " never reached";
        ExpectRecoveredAndRetried(point);
    }
    std::cout << "configuration kill points tried: " << points_tried_ << "\n";
}

}  // namespace
