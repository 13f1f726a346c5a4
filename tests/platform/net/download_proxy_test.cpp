// A proxy named in http_proxy with user:password gets those credentials in
// the scheme it asks for in its 407. The proxy here is a loopback server that
// answers for any host, so the package's host is never looked up.
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "platform/net/download.h"
#include "support/files.h"
#include "support/scoped_environment.h"
#include "support/scripted_server.h"
#include "support/temp_folder.h"

namespace platform {
namespace {

using testing_support::ScriptedServer;

constexpr const char* kBody = "through the proxy";
constexpr const char* kDigestChallenge = "Digest realm=\"merro\", nonce=\"4f2a9c\", qop=\"auth\"";

std::string Md5Hex(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i)
        hex += {"0123456789abcdef"[digest[i] >> 4], "0123456789abcdef"[digest[i] & 15]};
    return hex;
}

// The value of name="..." (or name=value) in the request's Digest answer.
std::string Field(const std::string& head, const std::string& name)
{
    std::size_t at = head.find(" " + name + "=");
    if (at == std::string::npos) at = head.find("," + name + "=");
    if (at == std::string::npos) return "";
    at += name.size() + 2;
    const bool quoted = head[at] == '"';
    return head.substr(at + quoted, head.find_first_of(quoted ? "\"" : ",\r", at + quoted) - at - quoted);
}

// RFC 7616 for qop "auth", with the password the proxy knows.
bool IsDigestOfSecret(const std::string& head)
{
    if (head.find("\r\nProxy-Authorization: Digest ") == std::string::npos || Field(head, "username") != "user") {
        return false;
    }
    const std::string ha1 = Md5Hex("user:" + Field(head, "realm") + ":secret");
    const std::string ha2 = Md5Hex("GET:" + Field(head, "uri"));
    return Field(head, "nonce") == "4f2a9c" &&
           Field(head, "response") ==
               Md5Hex(ha1 + ":4f2a9c:" + Field(head, "nc") + ":" + Field(head, "cnonce") + ":auth:" + ha2);
}

bool IsBasicOfSecret(const std::string& head)
{
    return head.find("\r\nProxy-Authorization: Basic dXNlcjpzZWNyZXQ=\r\n") != std::string::npos;  // user:secret
}

class ProxyDownloadTest : public ::testing::Test {
protected:
    // A proxy that demands `challenge` until `accepted` says the request's
    // head carries the right answer; `password` goes into http_proxy.
    void StartProxy(std::string challenge, bool (*accepted)(const std::string&), const std::string& password)
    {
        proxy_ = std::make_unique<ScriptedServer>(
            ScriptedServer::WholeHead{}, [this, challenge, accepted](int& socket, const std::string& head) {
                ++requests_;
                ScriptedServer::Send(socket, accepted(head) ? ScriptedServer::Head(std::string(kBody).size()) + kBody
                                                            : "HTTP/1.1 407 Proxy Authentication Required\r\n"
                                                              "Proxy-Authenticate: " +
                                                                  challenge +
                                                                  "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            });
        const std::string address = proxy_->Url("").substr(std::string("http://").size());
        environment_.Set("http_proxy", "http://user:" + password + "@" + address);
        environment_.Unset("no_proxy");
        environment_.Unset("NO_PROXY");
        requests_ = 0;
    }

    int Download() { return DownloadToFile(L"http://packages.invalid/com.qv.plug.zip", L"target.zip", UINT64_MAX, {}); }

    testing_support::WorkFolder work_;
    testing_support::ScopedEnvironment environment_;
    std::unique_ptr<ScriptedServer> proxy_;
    std::atomic<int> requests_{0};
};

TEST_F(ProxyDownloadTest, AnswersABasicProxyWithTheCredentialsOfTheProxyAddress)
{
    StartProxy("Basic realm=\"merro\"", IsBasicOfSecret, "secret");
    ASSERT_EQ(Download(), 0);
    EXPECT_EQ(testing_support::ReadFileBytes("target.zip"), kBody);
}

TEST_F(ProxyDownloadTest, AnswersADigestProxyAndFailsWithAWrongPassword)
{
    StartProxy(kDigestChallenge, IsDigestOfSecret, "secret");
    ASSERT_EQ(Download(), 0);
    EXPECT_EQ(testing_support::ReadFileBytes("target.zip"), kBody);
    EXPECT_EQ(requests_, 2);  // the first one without credentials, as the scheme is not known yet

    proxy_.reset();
    StartProxy(kDigestChallenge, IsDigestOfSecret, "wrong");
    EXPECT_NE(Download(), 0);
    EXPECT_EQ(testing_support::ReadFileBytes("target.zip"), kBody);
}

}  // namespace
}  // namespace platform
