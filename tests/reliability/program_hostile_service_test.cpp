// The real program against a hostile version service on 127.0.0.1: a
// document nested deep enough to overflow a recursive copy, and an answer or
// a package dripped a byte at a time. The program stays up, ends the check
// with its error line, and its thread is free again for the next check and
// for quit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/program_fixture.h"
#include "support/scoped_environment.h"
#include "support/scripted_server.h"

namespace {

using namespace std::chrono_literals;
using testing_support::kEventWait;
using testing_support::ScriptedServer;

class ProgramHostileServiceTest : public ProgramTest {
protected:
    // Version 1 installed, checked every second against `url`.
    void Configure(const std::string& url)
    {
        testing_support::WriteFileBytes(work() / "LocalConfig.json",
                                        testing_support::LocalConfigText("yes", "1", url, "1"));
    }

    // SIGTERM ends it with 0: no transfer holds its thread.
    static void ExpectQuitsAtOnce(ChildProcess& program)
    {
        program.Signal(SIGTERM);
        EXPECT_EQ(program.Wait(kEventWait), 0);
    }

    // A blank every half second, far above the stall rule, after a head
    // announcing 1000 bytes, until the client leaves (true), for as long as
    // a test waits for anything.
    static bool DripUntilTheClientLeaves(int socket)
    {
        ScriptedServer::Send(socket, ScriptedServer::Head(1000));
        const auto limit = std::chrono::steady_clock::now() + kEventWait;
        while (std::chrono::steady_clock::now() < limit) {
            if (::send(socket, " ", 1, MSG_NOSIGNAL) != 1) return true;
            std::this_thread::sleep_for(500ms);
        }
        return false;
    }
};

TEST_F(ProgramHostileServiceTest, DeeplyNestedDocumentEndsEachCheckWithItsErrorLine)
{
    // 100 000 nested arrays in the plug object, about 200 KB.
    const std::string deep =
        R"({"data": {"plug": {"urlPath": "http://127.0.0.1:9/p.zip", "versionNumber": "2", "extra": )" +
        std::string(100000, '[') + std::string(100000, ']') + "}}}";
    ScriptedServer service([&deep](int& socket, const std::string&) {
        ScriptedServer::Send(socket, ScriptedServer::Head(deep.size()) + deep);
    });
    Configure(service.Url("/version"));
    auto program = Start();
    const std::string refusal = "Verify UrlConfig Error: document nested deeper than 64 levels";
    ASSERT_TRUE(Serve([&] { return LogLinesWith(refusal).size() >= 2 || program->Exited(); })) << program->Stderr();
    EXPECT_FALSE(program->Exited()) << program->Stderr();
    ExpectQuitsAtOnce(*program);
}

// The document's deadline of 30 s is shortened to 3 s here.
TEST_F(ProgramHostileServiceTest, DrippedVersionDocumentIsGivenUpAtItsDeadline)
{
    constexpr auto deadline = 3s;
    const testing_support::ScopedEnvironment shortened("MERRO_TEST_DOCUMENT_DEADLINE",
                                                       std::to_string(std::chrono::milliseconds(deadline).count()));
    // The built-in service is asked through a proxy where nothing listens,
    // so it fails at once, without leaving the machine.
    const std::string nowhere = [] {
        const ScriptedServer gone([](int&, const std::string&) {});
        return gone.Url("");
    }();
    const testing_support::ScopedEnvironment proxy("https_proxy", nowhere);
    const testing_support::ScopedEnvironment direct("no_proxy", "127.0.0.1");

    const std::string document = testing_support::VersionDocument("1", "http://127.0.0.1:9/p.zip");
    std::atomic<bool> first{true};
    std::atomic<bool> left_while_dripping{false};
    ScriptedServer service([&](int& socket, const std::string&) {
        if (!first.exchange(false))
            return ScriptedServer::Send(socket, ScriptedServer::Head(document.size()) + document);
        if (DripUntilTheClientLeaves(socket)) left_while_dripping = true;
    });
    Configure(service.Url("/version"));
    auto program = Start();
    ASSERT_TRUE(Serve([&] { return !LogLinesWith("Not Need Download Zip").empty() || program->Exited(); }))
        << program->Stderr();
    const auto started = LogLinesWith("Download Process Start!");
    const auto failed = LogLinesWith("Download Config Error");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_GE(failed[0].time - started.at(0).time, deadline);
    // The program gave up, not the server.
    EXPECT_TRUE(Serve([&] { return left_while_dripping.load(); }));
    ExpectQuitsAtOnce(*program);
}

// The package's minute before its size counts is shortened to 3 s here.
TEST_F(ProgramHostileServiceTest, DrippedPackageIsGivenUpAtItsDeadline)
{
    constexpr auto deadline = 3s;
    const testing_support::ScopedEnvironment shortened("MERRO_TEST_PACKAGE_DEADLINE",
                                                       std::to_string(std::chrono::milliseconds(deadline).count()));
    std::atomic<bool> left_while_dripping{false};
    ScriptedServer service([&](int& socket, const std::string& path) {
        if (path == "/version") {
            const std::string document = testing_support::VersionDocument("2", service.Url("/package.zip"));
            return ScriptedServer::Send(socket, ScriptedServer::Head(document.size()) + document);
        }
        if (DripUntilTheClientLeaves(socket)) left_while_dripping = true;
    });
    Configure(service.Url("/version"));
    auto program = Start();
    ASSERT_TRUE(Serve([&] { return !LogLinesWith("Download Zip Error").empty() || program->Exited(); }))
        << program->Stderr();
    // The document has been read and removed before the package is asked for.
    const auto asked = LogLinesWith("Delete UrlConfig Finish!");
    const auto failed = LogLinesWith("Download Zip Error");
    EXPECT_GE(failed.at(0).time - asked.at(0).time, deadline);
    EXPECT_TRUE(Serve([&] { return left_while_dripping.load(); }));
    ExpectQuitsAtOnce(*program);
}

}  // namespace
