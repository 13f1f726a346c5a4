#pragma once
// The real program end to end: a temporary working directory with its own
// Wine prefix and HOME, a private session bus on which the test is the tray's
// watcher and the notification server, and a loopback version service.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "running_program.h"
#include "support/private_session_bus.h"
#include "support/session_bus_client.h"
#include "support/temp_folder.h"
#include "update/loopback_server.h"

// A package made by the zip tool: a manifest in a sub-folder and a page.
inline std::string MakePackage(const std::filesystem::path& scratch, const std::string& page)
{
    const auto source = scratch / "package";
    std::filesystem::create_directories(source / "CSXS");
    testing_support::WriteFileBytes(source / "CSXS/manifest.xml", "<ExtensionManifest/>\n");
    testing_support::WriteFileBytes(source / "index.html", page);
    const auto archive = scratch / "package.zip";
    std::filesystem::remove(archive);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, source.c_str());
    const pid_t child = testing_support::SpawnProgram({"zip", "-qr", archive.string(), "."}, &actions);
    posix_spawn_file_actions_destroy(&actions);
    int status = -1;
    if (child > 0) waitpid(child, &status, 0);
    EXPECT_EQ(status, 0) << "zip failed";
    return testing_support::ReadFileBytes(archive);
}

struct LogLine {
    std::chrono::milliseconds time;  // since the epoch, read as UTC
    std::string level;
    std::string text;
};

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest()
        : home_("HOME", (work_.path() / "home").string()),
          data_home_("XDG_DATA_HOME", (work_.path() / "home/.local/share").string()),
          no_x11_("DISPLAY", ""),
          no_wayland_("WAYLAND_DISPLAY", "")
    {
        std::filesystem::create_directories(work_.path() / "home");
        std::filesystem::create_directories(output_folder());
        client_.ServeStatusNotifierWatcher();
        client_.ServeNotifications();
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
        testing_support::WriteFileBytes(work_.path() / "LocalConfig.json",
                                        "{\n    \"Elasp\": " + elasp + ",\n    \"Setup\": \"" + setup +
                                            "\",\n    \"url\": \"" + VersionUrl() + "\",\n    \"versionNumber\": \"" +
                                            version + "\"\n}");
    }

    std::string VersionUrl() const { return server_.Url("/version"); }
    std::string PackageUrl() const { return server_.Url("/com.qv.plug.zip"); }

    // The version document the service answers with, and the package bytes.
    void ServeVersion(const std::string& version, const std::string& package)
    {
        const std::lock_guard lock(served_mutex_);
        version_document_ = R"({"data": {"plug": {"urlPath": ")" + PackageUrl() + R"(", "versionNumber": ")" +
                            version + R"("}}})";
        package_ = package;
    }

    std::unique_ptr<RunningProgram> Start(const std::string& name = "merroupdate")
    {
        return std::make_unique<RunningProgram>(output_folder(), name);
    }

    // Serves the bus until the condition holds; false after the time-out.
    bool Serve(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(15))
    {
        return client_.RunUntil(condition, timeout);
    }

    std::optional<int> WaitForExit(RunningProgram& program)
    {
        return program.WaitForExit([this](const std::function<bool()>& exited) { return Serve(exited); });
    }

    static std::string ItemName(const RunningProgram& program)
    {
        return "org.kde.StatusNotifierItem-" + std::to_string(program.pid()) + "-128";
    }

    bool WaitForTrayItem(const RunningProgram& program)
    {
        const std::string name = ItemName(program);
        return Serve([&] {
            for (const auto& item : client_.registered_items()) {
                if (item == name) return true;
            }
            return false;
        });
    }

    std::vector<LogLine> ReadLog() const
    {
        std::vector<LogLine> lines;
        const std::string text = testing_support::ReadFileBytes(work_.path() / "Log/action-log.txt");
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find("\r\n", start);
            if (end == std::string::npos) break;
            lines.push_back(ParseLogLine(text.substr(start, end - start)));
            start = end + 2;
        }
        return lines;
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

private:
    static LogLine ParseLogLine(const std::string& line)
    {
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0, consumed = 0;
        char level[16] = {};
        if (std::sscanf(line.c_str(), "[%d-%d-%d %d:%d:%d.%d] [basic_logger] [%15[a-z]] %n", &year, &month, &day,
                        &hour, &minute, &second, &millisecond, level, &consumed) != 8) {
            ADD_FAILURE() << "not a log line: " << line;
            return {};
        }
        using namespace std::chrono;
        const sys_days date = year_month_day{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                                             std::chrono::day(static_cast<unsigned>(day))};
        const auto time = date.time_since_epoch() + hours(hour) + minutes(minute) + seconds(second) +
                          milliseconds(millisecond);
        return {duration_cast<milliseconds>(time), level, line.substr(static_cast<std::size_t>(consumed))};
    }

    testing_support::WorkFolder work_;
    testing_support::ScopedEnv home_;
    testing_support::ScopedEnv data_home_;
    testing_support::ScopedEnv no_x11_;
    testing_support::ScopedEnv no_wayland_;
    PrivateSessionBus session_bus_;
    SessionBusClient client_;
    LoopbackServer server_;
    std::mutex served_mutex_;
    std::string version_document_;
    std::string package_;
};
