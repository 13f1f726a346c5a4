// Signed version documents and checked packages, with keys and signatures
// made by the minisign tool and a loopback version service.
#include <fmt/chrono.h>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <openssl/sha.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <tuple>

#include "minisign_key.h"
#include "platform/process/child_process.h"
#include "support/build_tree.h"
#include "update/local_config.h"
#include "update/signing/trust_settings.h"
#include "update/signing/verification_error.h"
#include "update_flow_fixture.h"

namespace {

using namespace testing_support;

namespace fs = std::filesystem;

struct Release {
    std::string version = "2.0.0";
    std::string url;
    std::string sha256;
    std::uint64_t size = 0;
    std::uint64_t sequence = 5;
    std::string expires = "2099-01-01T00:00:00Z";
    std::optional<std::string> rollout;
};

// What a publisher signs, written out here rather than taken from the program.
std::string Payload(const Release& r)
{
    return "merroupdate-version-document-v1\napp:com.qv.plug\nversionNumber:" + r.version + "\nurlPath:" + r.url +
           "\nsha256:" + r.sha256 + "\nsize:" + std::to_string(r.size) + "\nsequence:" + std::to_string(r.sequence) +
           "\nexpires:" + r.expires + "\n" + (r.rollout ? "rolloutPercent:" + *r.rollout + "\n" : "");
}

nlohmann::json Plug(const Release& r, const nlohmann::json& signature)
{
    nlohmann::json plug = {{"urlPath", r.url},      {"versionNumber", r.version}, {"sha256", r.sha256},
                           {"size", r.size},        {"sequence", r.sequence},     {"expires", r.expires},
                           {"signature", signature}};
    if (r.rollout) plug["rolloutPercent"] = *r.rollout;
    return plug;
}

std::string Document(const nlohmann::json& plug) { return nlohmann::json{{"data", {{"plug", plug}}}}.dump(); }

std::string Sha256Hex(const std::string& bytes)
{
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    std::string hex;
    for (const unsigned char byte : digest) hex += fmt::format("{:02x}", byte);
    return hex;
}

std::string UtcTime(std::chrono::system_clock::time_point time)
{
    return fmt::format("{:%Y-%m-%dT%H:%M:%SZ}", std::chrono::floor<std::chrono::seconds>(time));
}

class SignedUpdateTest : public UpdateFlowTest {
protected:
    SignedUpdateTest() : key_(work_.path() / "keys/a"), other_key_(work_.path() / "keys/b")
    {
        package_ = MakePackage(NewPackage);
        release_.url = http_.Url("/package.zip");
        release_.sha256 = Sha256Hex(package_);
        release_.size = package_.size();
        served_package_ = package_;
        http_.server().Get("/version", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(document_, "application/json");
        });
        http_.server().Get("/package.zip", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(served_package_, "application/zip");
        });
        WriteFileBytes("com.qv.plug.zip", "the delivered package");
    }

    // Version 1.0.0 from /version, trusting `keys`, with `extra` members;
    // returns the file's text.
    std::string WriteConfig(const std::string& keys, const std::map<std::string, std::string>& extra = {})
    {
        nlohmann::json config = nlohmann::json::parse(LocalConfigText("yes", "1.0.0", http_.Url("/version")));
        config["signingKeys"] = keys;
        for (const auto& [name, value] : extra) config[name] = value;
        const std::string text = config.dump(4) + "\n";
        WriteFileBytes("LocalConfig.json", text);
        return text;
    }

    std::string SignedBy(const MinisignKey& key, const Release& release) const
    {
        return Document(Plug(release, key.Sign(Payload(release))));
    }

    // What LocalConfig.json records once `release` has been accepted.
    static std::map<std::string, std::string> Accepted(const Release& release)
    {
        return {{"signedSequence", std::to_string(release.sequence)},
                {"signedPayloadSha256", Sha256Hex(Payload(release))}};
    }

    void ExpectInstalled(const std::string& sequence)
    {
        ExpectUpdatedFrom(http_.Url("/version"), release_.version);
        EXPECT_EQ(ReadLocalConfig("signedSequence"), sequence);
        EXPECT_EQ(ReadFileBytes("com.qv.plug.zip"), package_);
    }

    // The run ended with the error `line` and changed nothing.
    void ExpectRefused(const std::string& config, const std::string& line)
    {
        EXPECT_EQ(LogLines().back(), line);
        EXPECT_EQ(ReadFileBytes("com.qv.plug.zip"), "the delivered package");
        EXPECT_FALSE(fs::exists("com.qv.plug.zip.part"));
        ExpectNothingChanged(config);
        fs::remove_all("Log");
    }

    MinisignKey key_;
    MinisignKey other_key_;
    std::string package_;
    Release release_;
    std::string document_;
    std::string served_package_;
};

TEST_F(SignedUpdateTest, SignedDocumentAndPackageAreInstalledWithTheirCheckLines)
{
    document_ = SignedBy(key_, release_);
    WriteConfig(key_.public_line());
    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "[info] Download Process Start!", "[info] Local: 1.0.0 " + http_.Url("/version"),
                              "[info] Download UrlConfig!", "[info] URLData: 2.0.0 " + release_.url,
                              "[info] Delete UrlConfig Finish!", "[info] Verify UrlConfig Finish!",
                              "[info] Download Zip Finish!", "[info] Verify Zip Finish!", "[info] Delete Old Files!",
                              "[info] Unzip Files Finish!", "[info] Update Config Finish!"}));
    ExpectInstalled("5");
}

TEST_F(SignedUpdateTest, UnsignedDocumentsAreRefusedWhenAKeyIsTrustedAndRunAsBeforeWithout)
{
    document_ = VersionDocument("1.0.0", release_.url);
    const std::string keyed = WriteConfig(key_.public_line());
    outcome_ = UpdateFlow();
    ExpectRefused(keyed, "[error] Verify UrlConfig Error: unsigned document refused");

    // No key here nor built in, and nothing required.
    const std::string config = WriteConfig("");
    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines().back(), "[info] Not Need Download Zip");
    EXPECT_EQ(LogLines().size(), 6u);
    ExpectNothingChanged(config);

    // A hash without a signature is still checked.
    fs::remove_all("Log");
    Release release = release_;
    release.sha256 = Sha256Hex("another package");
    nlohmann::json plug = Plug(release, nullptr);
    for (const char* name : {"signature", "sequence", "expires"}) plug.erase(name);
    document_ = Document(plug);
    outcome_ = UpdateFlow();
    ExpectRefused(config, "[error] Verify Zip Error: sha256 mismatch");
}

TEST_F(SignedUpdateTest, PackageOtherThanTheSignedOneIsRefused)
{
    http_.server().Get("/endless.zip", [this](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/zip", [this](size_t offset, httplib::DataSink& sink) {
            return offset < 4 * package_.size() && sink.write(package_.data(), package_.size());
        });
    });
    std::string tampered = package_;
    tampered[tampered.size() / 2] ^= 1;
    const std::string size = std::to_string(package_.size());
    const std::pair<std::string, std::string> cases[] = {
        {tampered, "sha256 mismatch"},
        {package_.substr(1), "size " + std::to_string(package_.size() - 1) + " instead of " + size},
        {package_ + "x", "size above " + size},
    };
    // The floor is recorded before the package is asked for.
    const std::string config = WriteConfig(key_.public_line(), Accepted(release_));
    document_ = SignedBy(key_, release_);
    for (const auto& [served, reason] : cases) {
        served_package_ = served;
        outcome_ = UpdateFlow();
        ExpectRefused(config, "[error] Verify Zip Error: " + reason);
    }
    Release endless = release_;
    endless.url = http_.Url("/endless.zip");
    endless.sequence = 6;
    document_ = SignedBy(key_, endless);
    const std::string endless_config = WriteConfig(key_.public_line(), Accepted(endless));
    outcome_ = UpdateFlow();
    ExpectRefused(endless_config, "[error] Verify Zip Error: size above " + size);
}

TEST_F(SignedUpdateTest, EverySignedMemberIsCoveredBySignature)
{
    const std::string config = WriteConfig(key_.public_line());
    const std::string signature = key_.Sign(Payload(release_));
    const std::pair<const char*, nlohmann::json> changes[] = {
        {"versionNumber", "2.0.1"},  {"urlPath", release_.url + "?x"},    {"sha256", Sha256Hex("x")},
        {"size", release_.size + 1}, {"sequence", release_.sequence + 1}, {"expires", "2099-01-02T00:00:00Z"},
    };
    for (const auto& [name, value] : changes) {
        SCOPED_TRACE(name);
        nlohmann::json plug = Plug(release_, signature);
        plug[name] = value;
        document_ = Document(plug);
        outcome_ = UpdateFlow();
        ExpectRefused(config, "[error] Verify UrlConfig Error: bad signature");
    }
    EXPECT_EQ(Requested(), std::vector<std::string>(std::size(changes), "/version"));
}

TEST_F(SignedUpdateTest, SignaturesNotMadeByATrustedKeyAreRefused)
{
    const std::string config = WriteConfig(key_.public_line());
    const std::string payload = Payload(release_);
    const std::string genuine = key_.Sign(payload);
    const std::string foreign = other_key_.Sign(payload);

    // The other key's signature under the trusted key's id: the id is bytes
    // 2..9 of the second line, inside its first 16 Base64 digits.
    const auto second_line = [](const std::string& text) { return text.find('\n') + 1; };
    std::string relabelled = foreign;
    relabelled.replace(second_line(foreign), 16, genuine, second_line(genuine), 16);
    std::string forged = genuine;
    forged.replace(forged.find("trusted comment: test"), 21, "trusted comment: sequence 999");

    const std::pair<nlohmann::json, std::string> cases[] = {
        {foreign, "unknown signing key " + other_key_.id()},
        {relabelled, "bad signature"},
        {forged, "bad trusted comment"},
        {genuine.substr(0, genuine.size() / 2), "malformed signature"},
        {key_.Sign(payload, "legacy", true), "legacy signature refused"},
        {"untrusted comment: x\nnot base64\ntrusted comment: x\nAAAA\n", "malformed signature"},
        {42, "malformed signature"},
        {nlohmann::json::array(), "malformed signature"},
    };
    for (const auto& [signature, reason] : cases) {
        SCOPED_TRACE(reason);
        document_ = Document(Plug(release_, signature));
        outcome_ = UpdateFlow();
        ExpectRefused(config, "[error] Verify UrlConfig Error: " + reason);
    }
}

TEST_F(SignedUpdateTest, MalformedSignedMembersAreRefusedBeforeTheSignature)
{
    const std::string config = WriteConfig(key_.public_line());
    const std::string signature = key_.Sign(Payload(release_));
    const std::tuple<const char*, nlohmann::json, std::string> cases[] = {
        {"urlPath", release_.url + "\nsha256:" + release_.sha256, "malformed urlPath"},
        {"sha256", "A" + release_.sha256.substr(1), "malformed sha256"},
        {"size", -1, "malformed size"},
        {"expires", "2099-02-30T00:00:00Z", "malformed expires"},
        {"sequence", nullptr, "missing sequence"},  // null: the member is left out
    };
    for (const auto& [name, value, reason] : cases) {
        SCOPED_TRACE(reason);
        nlohmann::json plug = Plug(release_, signature);
        if (value.is_null()) plug.erase(name);
        else plug[name] = value;
        document_ = Document(plug);
        outcome_ = UpdateFlow();
        ExpectRefused(config, "[error] Verify UrlConfig Error: " + reason);
    }
    // A member twice: the JSON library alone would keep the last one.
    document_ = Document(Plug(release_, signature));
    document_.replace(document_.find(R"("size")"), 6, R"("size": 1, "size")");
    outcome_ = UpdateFlow();
    ExpectRefused(config, "[error] Verify UrlConfig Error: duplicate member");
}

TEST_F(SignedUpdateTest, ReplayedSequenceIsRefusedBeforeAnyPackageRequest)
{
    const std::string config = WriteConfig(key_.public_line(), {{"signedSequence", "6"}});
    document_ = SignedBy(key_, release_);
    outcome_ = UpdateFlow();
    ExpectRefused(config, "[error] Verify UrlConfig Error: replayed document, sequence 5 below 6");
    EXPECT_EQ(Requested(), (std::vector<std::string>{"/version"}));

    Release rollback = release_;
    rollback.sequence = 6;  // a deliberate rollback is a newer document
    document_ = SignedBy(key_, rollback);
    outcome_ = UpdateFlow();
    ExpectInstalled("6");
}

TEST_F(SignedUpdateTest, ExpiryHasADayOfGrace)
{
    const auto now = std::chrono::system_clock::now();
    const std::string config = WriteConfig(key_.public_line());
    Release expired = release_;
    expired.expires = UtcTime(now - std::chrono::hours(25));
    document_ = SignedBy(key_, expired);
    outcome_ = UpdateFlow();
    ExpectRefused(config, "[error] Verify UrlConfig Error: expired at " + expired.expires);

    release_.expires = UtcTime(now - std::chrono::hours(23));
    document_ = SignedBy(key_, release_);
    outcome_ = UpdateFlow();
    ExpectInstalled("5");

    // Past the range of the clock's nanoseconds, which ends in 2262.
    Release later = release_;
    for (const char* expires : {"2300-01-01T00:00:00Z", "9999-12-31T23:59:59Z"}) {
        SCOPED_TRACE(expires);
        fs::remove_all("Log");
        later.expires = expires;
        ++later.sequence;
        document_ = SignedBy(key_, later);
        outcome_ = UpdateFlow();
        EXPECT_EQ(LogLines().back(), "[info] Not Need Download Zip");
        EXPECT_EQ(ReadLocalConfig("signedSequence"), std::to_string(later.sequence));
    }
}

TEST_F(SignedUpdateTest, TheFloorIsRecordedAsSoonAsTheDocumentIsVerified)
{
    WriteConfig(key_.public_line());
    document_ = SignedBy(key_, release_);
    std::vector<platform::TransferDeadline> deadlines;
    const Downloader package_lost = [&](std::wstring_view url, std::wstring_view file, std::uint64_t max,
                                        const platform::TransferDeadline& deadline) {
        deadlines.push_back(deadline);
        return file == L"config.json" ? platform::DownloadToFile(url, file, max) : 1;
    };
    outcome_ = UpdateFlow(package_lost);
    EXPECT_EQ(LogLines().back(), "[error] Download Zip Error");
    EXPECT_EQ(ReadLocalConfig("signedSequence"), "5");
    EXPECT_EQ(ReadLocalConfig("signedPayloadSha256"), Sha256Hex(Payload(release_)));
    EXPECT_EQ(ReadLocalConfig("versionNumber"), "1.0.0");
    // The signed size sets the package's deadline.
    ASSERT_EQ(deadlines.size(), 2u);
    EXPECT_EQ(deadlines[1],
              (platform::TransferDeadline{
                  .base = std::chrono::seconds(60), .min_rate = 32 * 1024, .expected_bytes = release_.size}));

    fs::remove_all("Log");
    const std::string latched = ReadFileBytes("LocalConfig.json");
    Release older = release_;
    older.sequence = 4;
    document_ = SignedBy(key_, older);
    outcome_ = UpdateFlow();
    ExpectRefused(latched, "[error] Verify UrlConfig Error: replayed document, sequence 4 below 5");
}

TEST_F(SignedUpdateTest, AnEqualSequenceIsAcceptedOnlyForThePayloadAcceptedAtIt)
{
    WriteConfig(key_.public_line());
    document_ = SignedBy(key_, release_);
    outcome_ = UpdateFlow();
    ExpectInstalled("5");
    fs::remove_all("Log");
    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines().back(), "[info] Not Need Download Zip");

    const std::string accepted = ReadFileBytes("LocalConfig.json");
    Release other = release_;
    other.version = "3.0.0";
    document_ = SignedBy(key_, other);
    fs::remove_all("Log");
    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines().back(), "[error] Verify UrlConfig Error: sequence 5 already accepted for another document");
    EXPECT_EQ(ReadFileBytes("LocalConfig.json"), accepted);
    EXPECT_EQ(Requested(), (std::vector<std::string>{"/version", "/package.zip", "/version", "/version"}));
}

TEST_F(SignedUpdateTest, RequireSignatureIsYesOrOffAndAnythingElseRefusesTheRun)
{
    document_ = VersionDocument("1.0.0", release_.url);
    for (const char* off : {"", "no"}) {
        SCOPED_TRACE(off);
        const std::string config = WriteConfig("", {{"requireSignature", off}});
        outcome_ = UpdateFlow();
        EXPECT_EQ(LogLines().back(), "[info] Not Need Download Zip");
        ExpectNothingChanged(config);
        fs::remove_all("Log");
    }
    const std::string required = WriteConfig("", {{"requireSignature", "yes"}});
    outcome_ = UpdateFlow();
    ExpectRefused(required, "[error] Verify UrlConfig Error: unsigned document refused");
    const std::pair<const char*, const char*> misspelt[] = {
        {"true", "true"}, {"Yes", "Yes"}, {"1", "1"}, {"yes\r\n", "yes\\r\\n"}};
    for (const auto& [value, logged] : misspelt) {
        SCOPED_TRACE(value);
        const std::string config = WriteConfig("", {{"requireSignature", value}});
        outcome_ = UpdateFlow();
        ExpectRefused(config, std::string("[error] Verify UrlConfig Error: requireSignature is \"") + logged +
                                  "\", not \"yes\", \"no\" or \"\"");
    }
}

TEST_F(SignedUpdateTest, ABuildsMinimumSequenceRefusesOlderDocumentsFromTheFirstCheck)
{
    WriteConfig("");  // the build's keys only
    const std::string built_in_key = key_.public_line();
    const TrustSettings trust = ReadTrustSettings({built_in_key, 7});
    EXPECT_TRUE(NeedsSignatureCheck(trust));
    const auto refusal = [&](const std::string& document) -> std::string {
        try {
            VerifyVersionDocument(ParseVersionDocument(document), trust, std::chrono::system_clock::now());
        } catch (const VerificationError& error) {
            return error.what();
        }
        return "";
    };
    EXPECT_EQ(refusal(SignedBy(key_, release_)), "replayed document, sequence 5 below 7");
    Release current = release_;
    current.sequence = 7;
    EXPECT_EQ(refusal(SignedBy(key_, current)), "");
    EXPECT_EQ(refusal(VersionDocument("2.0.0", release_.url)), "unsigned document refused");
    // This repository's build has neither.
    EXPECT_EQ(ReadTrustSettings().minimum_sequence, 0u);
    EXPECT_TRUE(ReadTrustSettings().keys.empty());
}

TEST_F(SignedUpdateTest, UnsignedDocumentsAreRefusedWhenRequiredOrOnceASignedOneWasAccepted)
{
    const std::string unsigned_document = VersionDocument("2.0.0", release_.url);
    document_ = unsigned_document;
    const std::string required = WriteConfig("", {{"requireSignature", "yes"}});
    outcome_ = UpdateFlow();
    ExpectRefused(required, "[error] Verify UrlConfig Error: unsigned document refused");

    // A signed document of the installed version records its sequence...
    WriteConfig(key_.public_line());
    Release same = release_;
    same.version = "1.0.0";
    document_ = SignedBy(key_, same);
    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines().back(), "[info] Not Need Download Zip");
    EXPECT_EQ(ReadLocalConfig("signedSequence"), "5");
    fs::remove_all("Log");

    // ...and from then on an unsigned one is refused, even with no key left.
    const std::string latched = WriteConfig("", Accepted(same));
    document_ = unsigned_document;
    outcome_ = UpdateFlow();
    ExpectRefused(latched, "[error] Verify UrlConfig Error: unsigned document refused");
}

TEST_F(SignedUpdateTest, EitherOfTwoKeysIsTrustedForRotation)
{
    const MinisignKey unknown(work_.path() / "keys/c");
    WriteConfig(key_.public_line() + "  " + other_key_.public_line());
    document_ = SignedBy(other_key_, release_);
    outcome_ = UpdateFlow();
    ExpectInstalled("5");

    fs::remove_all("Log");
    outcome_ = {};
    WriteTree(Extension(), OldExtension);
    WriteConfig(key_.public_line() + " " + other_key_.public_line());
    const std::string payload = Payload(release_);
    document_ = Document(Plug(release_, nlohmann::json::array({unknown.Sign(payload), key_.Sign(payload)})));
    outcome_ = UpdateFlow();
    ExpectInstalled("5");
}

TEST_F(SignedUpdateTest, AKillBetweenDownloadAndCheckNeverInstallsTheUncheckedPackage)
{
    const std::string config = WriteConfig(key_.public_line(), Accepted(release_));
    std::string tampered = package_;
    tampered[tampered.size() / 2] ^= 1;
    served_package_ = tampered;
    document_ = SignedBy(key_, release_);
    const Downloader killed_after_the_package = [](std::wstring_view url, std::wstring_view file, std::uint64_t max,
                                                   const platform::TransferDeadline&) {
        const int result = platform::DownloadToFile(url, file, max);
        if (file == UncheckedPackageFileName) _exit(9);
        return result;
    };
    EXPECT_EXIT(UpdateFlow(killed_after_the_package), testing::ExitedWithCode(9), "");
    EXPECT_EQ(ReadFileBytes("com.qv.plug.zip.part"), tampered);
    EXPECT_EQ(ReadFileBytes("com.qv.plug.zip"), "the delivered package");
    EXPECT_EQ(ReadTree(Extension()), OldExtension);
    EXPECT_EQ(ReadFileBytes("LocalConfig.json"), config);

    fs::remove_all("Log");
    served_package_ = package_;
    outcome_ = UpdateFlow();
    ExpectInstalled("5");
    EXPECT_FALSE(fs::exists("com.qv.plug.zip.part"));
}

TEST_F(SignedUpdateTest, PublisherToolSignsWhatTheProgramAcceptsAndChecksItTheSameWay)
{
    const std::string tool = testing_support::BuildPath("bin/merroupdate-publish");
    WriteFileBytes("package.zip", package_);
    // The document goes to standard output; sh only redirects it.
    const auto run = [&](std::vector<std::string> arguments, const std::string& output) {
        arguments.insert(arguments.begin(), {"sh", "-c", "exec \"$0\" \"$@\" >" + output, tool});
        return platform::RunProgram(arguments);
    };
    ASSERT_EQ(run({"--package", "package.zip", "--version", "2.0.0", "--url", release_.url, "--sequence", "8",
                   "--expires", release_.expires, "--key", key_.secret_file().string()},
                  "document.json"),
              0);
    const std::string pub = key_.public_file().string();
    EXPECT_EQ(run({"--verify", "document.json", "--package", "package.zip", "--pub", pub}, "/dev/null"), 0);
    WriteFileBytes("other.zip", package_ + "x");
    EXPECT_EQ(run({"--verify", "document.json", "--package", "other.zip", "--pub", pub}, "/dev/null"), 1);
    EXPECT_EQ(run({"--verify", "document.json", "--package", "package.zip", "--pub", other_key_.public_file().string()},
                  "/dev/null"),
              1);

    document_ = ReadFileBytes("document.json");
    WriteConfig(key_.public_line());
    outcome_ = UpdateFlow();
    ExpectInstalled("8");

    const std::vector<std::string> release_9 = {
        "--package",  "package.zip", "--version", "3.0.0",          "--url", release_.url,
        "--sequence", "9",           "--expires", release_.expires, "--key", key_.secret_file().string(),
        "--rollout"};
    const auto with_rollout = [&](const char* percent) {
        std::vector<std::string> arguments = release_9;
        arguments.push_back(percent);
        return arguments;
    };
    EXPECT_EQ(run(with_rollout("101"), "/dev/null"), 1);
    ASSERT_EQ(run(with_rollout("0"), "document.json"), 0);
    EXPECT_EQ(nlohmann::json::parse(ReadFileBytes("document.json"))["data"]["plug"]["rolloutPercent"], "0");
    EXPECT_EQ(run({"--verify", "document.json", "--package", "package.zip", "--pub", pub}, "/dev/null"), 0);
    document_ = ReadFileBytes("document.json");
    fs::remove_all("Log");
    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines().back(), "[info] Not Need Download Zip");
    EXPECT_EQ(ReadLocalConfig("signedSequence"), "9");
}

TEST_F(SignedUpdateTest, TheRolloutPercentageIsSignedAsOneMoreLine)
{
    release_.rollout = "100";
    const std::string config = WriteConfig(key_.public_line());
    nlohmann::json plug = Plug(release_, key_.Sign(Payload(release_)));
    plug["rolloutPercent"] = "0";
    document_ = Document(plug);
    outcome_ = UpdateFlow();
    ExpectRefused(config, "[error] Verify UrlConfig Error: bad signature");

    document_ = SignedBy(key_, release_);
    outcome_ = UpdateFlow();
    ExpectInstalled("5");
}

}  // namespace
