// A server that asks for a login: Negotiate and NTLM are answered with the
// user's own logon, each once, and Basic never gets credentials made up.
// Wine has no logon to give, so the server never accepts it. A 407 is a
// proxy's only when WinHTTP sent the request through one: a server that
// answers 407 itself gets nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/net/download.h"
#include "support/files.h"
#include "support/loopback_server.h"
#include "support/temp_folder.h"

namespace {

constexpr int kStatus401 = 0x20000000 | 401;
constexpr int kStatus407 = 0x20000000 | 407;

class WindowsDownloadLogonTest : public ::testing::Test {
protected:
    // Serves 401 (or 407, as a proxy would) with these challenges, whatever
    // the request carries.
    void Demand(std::vector<std::string> challenges, int status = 401)
    {
        http_.server().Get(
            "/package.zip", [this, challenges, status](const httplib::Request& request, httplib::Response& response) {
                ++requests_;
                if (request.has_header("Authorization") || request.has_header("Proxy-Authorization")) {
                    ++with_authorization_;
                }
                for (const std::string& challenge : challenges) {
                    response.headers.emplace(status == 407 ? "Proxy-Authenticate" : "WWW-Authenticate", challenge);
                }
                response.status = status;
            });
    }

    int Download()
    {
        const std::string url = http_.Url("/package.zip");
        return platform::DownloadToFile(std::wstring(url.begin(), url.end()), L"target.zip", UINT64_MAX, {});
    }

    testing_support::WorkFolder work_;
    testing_support::LoopbackServer http_;
    std::atomic<int> requests_{0};
    std::atomic<int> with_authorization_{0};
};

TEST_F(WindowsDownloadLogonTest, NegotiateAndNtlmAreAnsweredOnceEach)
{
    ASSERT_TRUE(testing_support::WriteFileBytes("target.zip", "old"));
    Demand({"Negotiate", "NTLM"});
    EXPECT_NE(Download(), 0);
    // Sent again for the logon, at most once per scheme, then given up.
    EXPECT_GE(requests_.load(), 2);
    EXPECT_LE(requests_.load(), 3);
    EXPECT_EQ(testing_support::ReadFileBytes("target.zip"), "old");
}

TEST_F(WindowsDownloadLogonTest, BasicGetsNoCredentialsMadeUp)
{
    Demand({"Basic realm=\"merro\""});
    EXPECT_EQ(Download(), kStatus401);
    EXPECT_EQ(requests_.load(), 1);
    EXPECT_EQ(with_authorization_.load(), 0);
}

TEST_F(WindowsDownloadLogonTest, AServerAnswering407GetsNoLogon)
{
    Demand({"Negotiate", "NTLM"}, 407);
    EXPECT_EQ(Download(), kStatus407);
    EXPECT_EQ(requests_.load(), 1);
    EXPECT_EQ(with_authorization_.load(), 0);
}

}  // namespace
