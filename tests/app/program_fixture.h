#pragma once
// The real program end to end: a temporary working directory with its own
// Wine prefix and HOME, a private session bus on which the test is the tray's
// watcher and the notification server, and a loopback version service.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/activity_log.h"
#include "support/build_tree.h"
#include "support/child_process.h"
#include "support/documents.h"
#include "support/event_wait.h"
#include "support/fake_notification_server.h"
#include "support/loopback_server.h"
#include "support/private_session_bus.h"
#include "support/session_bus_client.h"
#include "support/temp_folder.h"

using testing_support::BuildPath;
using testing_support::ChildProcess;
using testing_support::LogLine;
using testing_support::SessionBusClient;

// A package made by the zip tool: a manifest in a sub-folder and a page.
inline std::string MakePackage(const std::filesystem::path& scratch, const std::string& page)
{
    const auto source = scratch / "package";
    testing_support::WriteFileBytes(source / "CSXS/manifest.xml", "<ExtensionManifest/>\n");
    testing_support::WriteFileBytes(source / "index.html", page);
    const auto archive = scratch / "package.zip";
    std::filesystem::remove(archive);
    EXPECT_EQ(testing_support::ZipFolder(source, archive), 0) << "zip failed";
    return testing_support::ReadFileBytes(archive);
}

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest()
        : home_("HOME", (work_.path() / "home").string()),
          data_home_("XDG_DATA_HOME", (work_.path() / "home/.local/share").string()),
          no_x11_("DISPLAY", ""),
          no_wayland_("WAYLAND_DISPLAY", ""),
          runtime_("XDG_RUNTIME_DIR", (work_.path() / "runtime").string())
    {
        std::filesystem::create_directories(work_.path() / "home");
        std::filesystem::create_directory(work_.path() / "runtime");
        std::filesystem::permissions(work_.path() / "runtime", std::filesystem::perms::owner_all);
        std::filesystem::create_directories(output_folder());
        client_.ServeStatusNotifierWatcher();
        if (!notifications_) throw std::runtime_error("the notification server could not join the bus");
        server_.server().Get("/version", [this](const httplib::Request&, httplib::Response& response) {
            const std::lock_guard lock(served_mutex_);
            response.set_content(version_document_, "application/json");
        });
        server_.server().Get("/com.qv.plug.zip", [this](const httplib::Request&, httplib::Response& response) {
            const std::lock_guard lock(served_mutex_);
            response.set_content(package_, "application/zip");
        });
        ServeVersion("1", "");
    }

    // LocalConfig.json; `elasp` is JSON as it stands, so it can be a number.
    void WriteLocalConfig(const std::string& elasp, const std::string& setup = "yes", const std::string& version = "1")
    {
        testing_support::WriteFileBytes(
            work_.path() / "LocalConfig.json",
            testing_support::LocalConfigText(setup, version, VersionUrl(), nlohmann::json::parse(elasp)));
    }

    std::string VersionUrl() const { return server_.Url("/version"); }
    std::string PackageUrl() const { return server_.Url("/com.qv.plug.zip"); }

    // The version document the service answers with, and the package bytes.
    void ServeVersion(const std::string& version, const std::string& package)
    {
        const std::lock_guard lock(served_mutex_);
        version_document_ = testing_support::VersionDocument(version, PackageUrl());
        package_ = package;
    }

    // Standard output and error go to <name>.out and <name>.err in the
    // output folder. The command is the built merroupdate unless another one
    // is given (one that ends by executing it, so the process stays the same).
    std::unique_ptr<ChildProcess> Start(const std::string& name = "merroupdate",
                                        const std::vector<std::string>& command = {
                                            testing_support::BuildPath("bin/merroupdate")})
    {
        auto program = ChildProcess::Start(command, {.output_files = output_folder() / name});
        if (!program) throw std::runtime_error("cannot start " + command.front());
        return program;
    }

    // Serves the bus until the condition holds; false after the time-out.
    bool Serve(const std::function<bool()>& condition, std::chrono::milliseconds timeout = testing_support::kEventWait)
    {
        return client_.RunUntil(condition, timeout);
    }

    // The exit code once the program has ended by itself, serving the bus
    // meanwhile.
    std::optional<int> WaitForExit(ChildProcess& program)
    {
        Serve([&] { return program.Exited(); });
        return program.Wait(std::chrono::milliseconds(0));
    }

    static std::string ItemName(const ChildProcess& program)
    {
        return "org.kde.StatusNotifierItem-" + std::to_string(program.pid()) + "-128";
    }

    bool WaitForTrayItem(const ChildProcess& program)
    {
        const std::string name = ItemName(program);
        return Serve([&] {
            for (const auto& item : client_.registered_items()) {
                if (item == name) return true;
            }
            return false;
        });
    }

    // True once the program's loop has dispatched everything that was due
    // `period` from now: a timer of that period armed before this call has
    // fired by then. Needs the wall clock, as only time makes a timer due
    // (10 ms more for the timer's accuracy); the two round trips to the tray
    // item that follow show the loop has run what was due (one can be
    // answered in the same pass that finds the timer due).
    bool LoopPassedTime(const ChildProcess& program, std::chrono::milliseconds period)
    {
        const auto due = std::chrono::steady_clock::now() + period + std::chrono::milliseconds(10);
        Serve([&] { return std::chrono::steady_clock::now() >= due; }, period + testing_support::kEventWait);
        const std::string item = ItemName(program);
        return client().ItemToolTipTitle(item) != "<none>" && client().ItemToolTipTitle(item) != "<none>";
    }

    std::vector<LogLine> ReadLog() const
    {
        return testing_support::ReadActivityLog(work_.path() / "Log/action-log.txt");
    }

    std::vector<LogLine> LogLinesWith(std::string_view text) const
    {
        std::vector<LogLine> found;
        for (auto& line : ReadLog()) {
            if (line.text == text) found.push_back(line);
        }
        return found;
    }

    std::vector<std::string> LogTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& line : ReadLog()) texts.push_back(line.text);
        return texts;
    }

    const std::filesystem::path& work() const { return work_.path(); }
    std::filesystem::path output_folder() const { return work_.path() / "output"; }
    SessionBusClient& client() { return client_; }
    std::vector<std::string> NotificationSummaries() const { return notifications_->Summaries(); }

private:
    testing_support::WorkFolder work_;
    testing_support::ScopedEnvironment home_;
    testing_support::ScopedEnvironment data_home_;
    testing_support::ScopedEnvironment no_x11_;
    testing_support::ScopedEnvironment no_wayland_;
    testing_support::ScopedEnvironment runtime_;
    testing_support::PrivateSessionBus session_bus_;
    testing_support::SessionBusClient client_;
    std::unique_ptr<testing_support::FakeNotificationServer> notifications_ =
        testing_support::FakeNotificationServer::Start(session_bus_.address());
    testing_support::LoopbackServer server_;
    std::mutex served_mutex_;
    std::string version_document_;
    std::string package_;
};
