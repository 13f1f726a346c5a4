// Signatures made once by the minisign tool, checked by our verifier: the
// same vectors run on every platform, against each build of libsodium.
#include "update/signing/minisign.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "update/signing/crypto.h"
#include "update/signing/verification_error.h"
#include "update/version_document.h"

namespace {

constexpr char kPublicKey[] = "RWSIAw4Bia+0mgR0IxkH6dXalyspiNqSTD0OLOIYvWLipNZbJKtgjbNE";
constexpr char kMessage[] = "merroupdate-version-document-v1\napp:com.qv.plug\n";
constexpr char kSignature[] =
    "untrusted comment: signature from minisign secret key\n"
    "RUSIAw4Bia+0mkLOe22jobNNYopuAoArm0hsHRvT94fTTRgorNnCTN3FPZOuNovafuPNa3UkPdAf137EhZPmKH06KUrPJ2tisAY=\n"
    "trusted comment: vector\n"
    "7frW9GpBwHicNSMA1RQLWbTi3BVTgymVGq77u9VXE8XUqXO0XnD89Cj6ZJGABEQH60aYDzLh0rj0GzrmKneVCQ==\n";
constexpr char kLegacySignature[] =
    "untrusted comment: signature from minisign secret key\n"
    "RWSIAw4Bia+0muV8o/b2Yl5JRfqMGH69AJW0cCACX1q4dvImWTLESXLIISk+wTicHXizUP/sUQBYTGbbNsBf4R1HNEocpdoULAg=\n"
    "trusted comment: vector\n"
    "c/eac9V2F+52At1JUOD3dkcxXnU5eZKWd65276XiK84AY+byI9kE1JC50uSz4XdMYl44vyFyIuJWn15UmSrEBA==\n";

// The reason Verify gives, empty when it accepts.
std::string Refusal(const std::string& signature, const std::string& message,
                    const std::vector<minisign::PublicKey>& keys)
{
    try {
        minisign::Verify(signature, {reinterpret_cast<const std::uint8_t*>(message.data()), message.size()}, keys);
    } catch (const VerificationError& error) {
        return error.what();
    }
    return {};
}

TEST(MinisignTest, AcceptsTheToolsSignatureAndRefusesEveryAlteration)
{
    const std::optional<minisign::PublicKey> key = minisign::ParsePublicKey(kPublicKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(minisign::KeyIdText(key->id), "9AB4AF89010E0388");
    const std::vector<minisign::PublicKey> keys = {*key};
    EXPECT_EQ(Refusal(kSignature, kMessage, keys), "");

    std::string crlf = kSignature;  // as saved on Windows
    for (auto at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2)) crlf.insert(at, "\r");
    EXPECT_EQ(Refusal(crlf, kMessage, keys), "");

    std::string message = kMessage;
    message.back() = ' ';
    EXPECT_EQ(Refusal(kSignature, message, keys), "bad signature");
    std::string comment = kSignature;
    comment.replace(comment.find("vector"), 6, "vectoR");
    EXPECT_EQ(Refusal(comment, kMessage, keys), "bad trusted comment");
    EXPECT_EQ(Refusal(kLegacySignature, kMessage, keys), "legacy signature refused");
    EXPECT_EQ(Refusal(kSignature, kMessage, {}), "unknown signing key 9AB4AF89010E0388");
    const std::string signature = kSignature;
    for (const std::string& broken : {signature.substr(0, signature.size() / 2), std::string(), signature + "extra\n",
                                      signature.substr(signature.find('\n') + 1)}) {
        EXPECT_EQ(Refusal(broken, kMessage, keys), "malformed signature") << broken;
    }
}

TEST(MinisignTest, PublicKeysMustBeWholeEd25519Keys)
{
    const std::string key = kPublicKey;
    for (const std::string& bad :
         {key.substr(4), key + "AAAA", std::string("RUSI") + key.substr(4), key + "\n", std::string()}) {
        EXPECT_FALSE(minisign::ParsePublicKey(bad)) << bad;
    }
}

TEST(CryptoTest, Sha256InPiecesMatchesTheKnownDigest)
{
    crypto::Sha256 whole;
    const std::string abc = "abc";
    whole.Update({reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()});
    crypto::Sha256 pieces;
    for (const char c : abc) pieces.Update({reinterpret_cast<const std::uint8_t*>(&c), 1});
    const crypto::Sha256Digest expected = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40,
                                           0xde, 0x5d, 0xae, 0x22, 0x23, 0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17,
                                           0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
    EXPECT_EQ(whole.Finish(), expected);
    EXPECT_EQ(pieces.Finish(), expected);
}

TEST(VersionDocumentTest, ExpiryTimesAreStrictUtc)
{
    using namespace std::chrono;
    EXPECT_EQ(ParseUtcTime("2028-02-29T23:59:59Z"), sys_days{2028y / 2 / 29} + 23h + 59min + 59s);
    EXPECT_EQ(ParseUtcTime("1970-01-01T00:00:00Z"), sys_seconds{});
    EXPECT_EQ(ParseUtcTime("9999-12-31T23:59:59Z"), sys_days{9999y / 12 / 31} + 23h + 59min + 59s);
    for (const char* bad : {"2027-02-29T00:00:00Z", "2027-01-31T24:00:00Z", "2027-01-31T00:60:00Z",
                            "2027-01-31T00:00:00z", "2027-01-31 00:00:00Z", "2027-1-31T00:00:00Z",
                            "2027-01-31T00:00:00+00:00", "+027-01-31T00:00:00Z", "1969-12-31T23:59:59Z"}) {
        EXPECT_FALSE(ParseUtcTime(bad)) << bad;
    }
}

}  // namespace
