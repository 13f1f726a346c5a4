// A proxy named in http_proxy with user:password gets those credentials in
// the scheme it asks for in its 407. The proxy here is a loopback server that
// answers for any host, so the package's host is never looked up.
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "platform/base/text.h"
#include "platform/net/download.h"
#include "support/files.h"
#include "support/scoped_environment.h"
#include "support/scripted_server.h"
#include "support/temp_folder.h"

namespace platform {
namespace {

using testing_support::ScriptedServer;

constexpr const char* kBody = "through the proxy";
constexpr const char* kRealm = "merro";
constexpr const char* kNonce = "4f2a9c";

std::string Md5Hex(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) hex += {kHex[digest[i] >> 4], kHex[digest[i] & 15]};
    return hex;
}

// The value of `name="..."` (or name=value) in a Digest header line.
std::string DigestField(const std::string& line, const std::string& name)
{
    std::size_t at = line.find(" " + name + "=");
    if (at == std::string::npos) at = line.find("," + name + "=");
    if (at == std::string::npos) return "";
    at += name.size() + 2;
    const bool quoted = line[at] == '"';
    if (quoted) ++at;
    const std::size_t end = line.find_first_of(quoted ? "\"" : ",\r", at);
    return line.substr(at, end - at);
}

std::string HeaderLine(const std::string& head, const std::string& name)
{
    const std::size_t at = head.find("\r\n" + name + ": ");
    return at == std::string::npos ? "" : head.substr(at + 2, head.find("\r\n", at + 2) - at - 2);
}

// A Digest answer as RFC 7616 computes it for qop "auth", with the password
// the proxy knows.
bool IsDigestAnswer(const std::string& line, const std::string& password)
{
    if (!line.starts_with("Proxy-Authorization: Digest ") || DigestField(line, "username") != "user") return false;
    const std::string ha1 = Md5Hex("user:" + DigestField(line, "realm") + ":" + password);
    const std::string ha2 = Md5Hex("GET:" + DigestField(line, "uri"));
    const std::string expected = Md5Hex(ha1 + ":" + DigestField(line, "nonce") + ":" + DigestField(line, "nc") + ":" +
                                        DigestField(line, "cnonce") + ":auth:" + ha2);
    return DigestField(line, "nonce") == kNonce && DigestField(line, "response") == expected;
}

class ProxyDownloadTest : public ::testing::Test {
protected:
    // A proxy that demands `challenge` until `accepted` says the request's
    // Proxy-Authorization line is right.
    void StartProxy(std::string challenge, bool (*accepted)(const std::string&))
    {
        proxy_ = std::make_unique<ScriptedServer>(
            ScriptedServer::WholeHead{}, [this, challenge, accepted](int& socket, const std::string& head) {
                ++requests_;
                if (accepted(HeaderLine(head, "Proxy-Authorization"))) {
                    ScriptedServer::Send(socket, ScriptedServer::Head(std::string(kBody).size()) + kBody);
                    return;
                }
                ScriptedServer::Send(socket, "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: " +
                                                 challenge + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            });
        const std::string address = proxy_->Url("");
        environment_.Set("http_proxy",
                         "http://user:" + password_ + "@" + address.substr(std::string("http://").size()));
        environment_.Unset("no_proxy");
        environment_.Unset("NO_PROXY");
    }

    int Download() { return DownloadToFile(L"http://packages.invalid/com.qv.plug.zip", L"target.zip", UINT64_MAX, {}); }

    testing_support::WorkFolder work_;
    testing_support::ScopedEnvironment environment_;
    std::unique_ptr<ScriptedServer> proxy_;
    std::string password_ = "secret";
    std::atomic<int> requests_{0};
};

TEST_F(ProxyDownloadTest, AnswersABasicProxyWithTheCredentialsOfTheProxyAddress)
{
    StartProxy("Basic realm=\"merro\"",
               [](const std::string& line) { return line == "Proxy-Authorization: Basic dXNlcjpzZWNyZXQ="; });
    ASSERT_EQ(Download(), 0);
    EXPECT_EQ(testing_support::ReadFileBytes("target.zip"), kBody);
}

TEST_F(ProxyDownloadTest, AnswersADigestProxyAndFailsWithAWrongPassword)
{
    const auto digest_of_secret = [](const std::string& line) { return IsDigestAnswer(line, "secret"); };
    const std::string challenge =
        std::string("Digest realm=\"") + kRealm + "\", nonce=\"" + kNonce + "\", qop=\"auth\"";
    StartProxy(challenge, digest_of_secret);
    ASSERT_EQ(Download(), 0);
    EXPECT_EQ(testing_support::ReadFileBytes("target.zip"), kBody);
    EXPECT_EQ(requests_, 2);  // the first one without credentials, as the scheme is not known yet

    proxy_.reset();
    password_ = "wrong";
    StartProxy(challenge, digest_of_secret);
    EXPECT_NE(Download(), 0);
    EXPECT_EQ(testing_support::ReadFileBytes("target.zip"), kBody);
}

}  // namespace
}  // namespace platform
