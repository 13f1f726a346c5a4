// Version services and package hosts on 127.0.0.1 that fail in every way a
// server can: each run ends with its error line and changes nothing, within
// the download time-outs, and the next run installs once the server answers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "reliability/update_run_fixture.h"
#include "support/scripted_server.h"
#include "support/temp_folder.h"

namespace {

using namespace testing_support;

namespace fs = std::filesystem;

class ServerFaultTest : public UpdateRunTest {
protected:
    ServerFaultTest()
    {
        // The package of an earlier update, which a failed download must keep.
        WriteFileBytes("com.qv.plug.zip", earlier_package_);
    }

    // A loopback address where nothing listens.
    static std::string RefusingUrl()
    {
        const ScriptedServer gone([](int&, const std::string&) {});
        return gone.Url("/version");
    }

    // The run failed at `error_line` and left everything as it was.
    void ExpectFailedRun(const std::string& config, const std::string& error_line)
    {
        EXPECT_EQ(RunUpdateError(), "");
        EXPECT_EQ(LogLines().back(), error_line);
        ExpectUnchanged(config);
        EXPECT_EQ(ReadFileBytes("com.qv.plug.zip"), earlier_package_);
        for (const auto& entry : fs::directory_iterator(work_.path())) {
            EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
        }
    }

    const std::string earlier_package_ = MakePackage(OldExtension);
    const std::string new_package_ = MakePackage(NewPackage);
};

TEST_F(ServerFaultTest, RefusedConnectionsEndTheRunAndTheNextRunRetries)
{
    const std::string config = WriteConfig(RefusingUrl());
    builtin_url_ = RefusingUrl();
    ExpectFailedRun(config, "[error] Download Config Error");

    Serve("/version", Document("2.0.0", "/package.zip"));
    builtin_url_ = http_.Url("/version");
    Serve("/package.zip", new_package_);
    RunUpdate();
    ExpectUpdatedTo("2.0.0");
    EXPECT_EQ(ReadLocalConfig("url"), platform::WideToUtf8(VersionServiceUrl));

    fs::remove("Log/action-log.txt");
    WriteFileBytes("com.qv.plug.zip", earlier_package_);
    fs::remove_all(Extension());
    WriteTree(Extension(), OldExtension);
    outcome_ = {};
    const std::string refused_package = WriteConfig(http_.Url("/refused-package"));
    http_.server().Get("/refused-package", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(testing_support::VersionDocument("2.0.0", RefusingUrl()), "application/json");
    });
    ExpectFailedRun(refused_package, "[error] Download Zip Error");
}

TEST_F(ServerFaultTest, HttpErrorStatusesEndTheRun)
{
    for (const int status : {404, 500, 503}) {
        SCOPED_TRACE(status);
        const std::string path = "/status/" + std::to_string(status);
        http_.server().Get(path, [status](const httplib::Request&, httplib::Response& res) {
            res.status = status;
            res.set_content("{\"data\": {\"plug\": {}}}", "application/json");
        });
        const std::string config = WriteConfig(http_.Url(path));
        builtin_url_ = http_.Url(path);
        ExpectFailedRun(config, "[error] Download Config Error");

        const std::string document_path = "/offering-status/" + std::to_string(status);
        Serve(document_path, Document("2.0.0", path));
        const std::string package_config = WriteConfig(http_.Url(document_path));
        ExpectFailedRun(package_config, "[error] Download Zip Error");
    }
}

TEST_F(ServerFaultTest, RedirectLoopsAreGivenUp)
{
    http_.server().Get("/loop", [this](const httplib::Request&, httplib::Response& res) {
        Count();
        res.set_redirect(http_.Url("/loop"), 302);
    });
    http_.server().Get("/ping", [this](const httplib::Request&, httplib::Response& res) {
        Count();
        res.set_redirect(http_.Url("/pong"), 302);
    });
    http_.server().Get("/pong", [this](const httplib::Request&, httplib::Response& res) {
        Count();
        res.set_redirect(http_.Url("/ping"), 301);
    });
    const std::string config = WriteConfig(http_.Url("/loop"));
    builtin_url_ = http_.Url("/ping");
    ExpectFailedRun(config, "[error] Download Config Error");
    // Each of the two attempts follows at most 10 redirects.
    EXPECT_LE(Requests(), 22);

    Serve("/offering-loop", Document("2.0.0", "/loop"));
    const std::string package_config = WriteConfig(http_.Url("/offering-loop"));
    ExpectFailedRun(package_config, "[error] Download Zip Error");
}

TEST_F(ServerFaultTest, BodiesCutShortOrResetFailTheDownloadAndKeepTheOldPackage)
{
    const std::string package = new_package_;
    ScriptedServer host([&package](int& socket, const std::string& path) {
        const std::string half = package.substr(0, package.size() / 2);
        if (path == "/reset") {
            ScriptedServer::Send(socket, ScriptedServer::Head(package.size()) + half);
            ScriptedServer::Reset(socket);
        } else if (path == "/longer-than-sent") {
            ScriptedServer::Send(socket, ScriptedServer::Head(package.size() + 1000) + package);
        } else if (path == "/head-only") {
            ScriptedServer::Send(socket, ScriptedServer::Head(package.size()));
        } else if (path == "/reset-before-answering") {
            ScriptedServer::Reset(socket);
        }
    });
    for (const char* path : {"/reset", "/longer-than-sent", "/head-only", "/reset-before-answering"}) {
        SCOPED_TRACE(path);
        const std::string document_path = std::string("/offering") + path;
        http_.server().Get(document_path, [&host, path](const httplib::Request&, httplib::Response& res) {
            res.set_content(testing_support::VersionDocument("2.0.0", host.Url(path)), "application/json");
        });
        const std::string config = WriteConfig(http_.Url(document_path));
        ExpectFailedRun(config, "[error] Download Zip Error");

        const std::string version_config = WriteConfig(host.Url(path));
        builtin_url_ = host.Url(path);
        ExpectFailedRun(version_config, "[error] Download Config Error");
    }
}

// A length shorter than the body is all the client reads: the download
// succeeds with the package's first bytes, which the installation refuses.
TEST_F(ServerFaultTest, LengthShorterThanTheBodyGivesADamagedPackageThatIsRefused)
{
    const std::string package = new_package_;
    ScriptedServer host([&package](int& socket, const std::string&) {
        ScriptedServer::Send(socket, ScriptedServer::Head(package.size() - 100) + package);
    });
    http_.server().Get("/version", [&host](const httplib::Request&, httplib::Response& res) {
        res.set_content(testing_support::VersionDocument("2.0.0", host.Url("/short")), "application/json");
    });
    const std::string config = WriteConfig(http_.Url("/version"));
    EXPECT_THAT(RunUpdateError(), testing::HasSubstr("Archive is damaged"));
    ExpectUnchanged(config);
    EXPECT_EQ(ReadFileBytes("com.qv.plug.zip"), package.substr(0, package.size() - 100));
}

TEST_F(ServerFaultTest, StalledServerEndsTheRunWithinTheTimeoutsAndTheNextRunRetries)
{
    std::atomic<bool> stalling{true};
    std::atomic<int> left_while_stalled{0};
    const std::string package = new_package_;
    ScriptedServer host([&](int& socket, const std::string& path) {
        const std::string document = testing_support::VersionDocument("2.0.0", http_.Url("/package.zip"));
        const std::string body = path == "/package.zip" ? package : document;
        if (!stalling) return ScriptedServer::Send(socket, ScriptedServer::Head(body.size()) + body);
        // Part of the body, or none of it, then nothing more.
        const std::size_t sent = path == "/version-stalling-after-the-head" ? 0 : body.size() / 2;
        ScriptedServer::Send(socket, ScriptedServer::Head(body.size()) + body.substr(0, sent));
        if (ScriptedServer::StallUntilTheClientLeaves(socket)) ++left_while_stalled;
    });
    const std::string config = WriteConfig(host.Url("/version"));
    builtin_url_ = host.Url("/version-stalling-after-the-head");

    ExpectFailedRun(config, "[error] Download Config Error");
    // Both addresses were given up by the client's stall rule, not by the
    // server, which stalls for as long as a test waits for anything.
    const auto deadline = std::chrono::steady_clock::now() + testing_support::kEventWait;
    while (left_while_stalled < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(left_while_stalled, 2);

    stalling = false;
    Serve("/package.zip", package);
    RunUpdate();
    ExpectUpdatedTo("2.0.0");
}

}  // namespace
