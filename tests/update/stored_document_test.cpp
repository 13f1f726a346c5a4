// Conditional checks: the last document read is kept with its validators,
// sent back as conditions, and a 304 runs exactly as that document would.
#include "update/stored_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

// First: httplib's winsock2.h goes before windows.h.
#include "update_flow_fixture.h"

#include "update/local_config.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr char kEtag[] = "\"release-7\"";
constexpr char kLastModified[] = "Fri, 11 Dec 2026 10:00:00 GMT";

class StoredDocumentTest : public UpdateFlowTest {
protected:
    // The service at /version with validators, offering `version`.
    Answer& OfferValidated(const std::string& version, const std::string& package_path = "/package.zip")
    {
        Answer& answer = ServeAnswer("/version");
        answer = {200, VersionDocument(version, http_.Url(package_path)), kEtag, kLastModified, ""};
        return answer;
    }

    Lines RunAgain()
    {
        fs::remove_all("Log");
        outcome_ = UpdateFlow();
        return LogLines();
    }
};

TEST_F(StoredDocumentTest, ANotModifiedAnswerRunsAsTheStoredDocumentWithTheSameLines)
{
    OfferValidated("1.0.0");
    const std::string config = WriteConfig(http_.Url("/version"));
    const Lines full = RunAgain();
    EXPECT_EQ(full.back(), "[info] Not Need Download Zip");
    ASSERT_TRUE(ReadStoredDocument());
    EXPECT_EQ(ReadStoredDocument()->etag, kEtag);

    EXPECT_EQ(RunAgain(), full);
    EXPECT_EQ(RunAgain(), full);
    EXPECT_EQ(ConditionsSent(),
              (Lines{"|", std::string(kEtag) + "|" + kLastModified, std::string(kEtag) + "|" + kLastModified}));
    EXPECT_FALSE(fs::exists("config.json"));
    ExpectNothingChanged(config);
}

TEST_F(StoredDocumentTest, ANotModifiedAnswerWithoutAStoredDocumentIsAFailedDownload)
{
    ServeAnswer("/version").status = 304;
    for (const char* stored : {"", "not a stored document"}) {
        SCOPED_TRACE(stored);
        if (*stored) WriteFileBytes("LastUrlConfig.json", stored);
        const std::string config = WriteConfig(http_.Url("/version"));
        EXPECT_EQ(RunAgain(), (Lines{"[info] Download Process Start!", "[info] Local: 1.0.0 " + http_.Url("/version"),
                                     "[error] Download Config Error"}));
        ExpectNothingChanged(config);
    }
    EXPECT_EQ(ConditionsSent(), (Lines{"|", "|"}));
}

TEST_F(StoredDocumentTest, APackageWhoseDownloadFailedIsAskedForAgainWhileTheServiceAnswersNotModified)
{
    OfferValidated("2.0.0");
    Answer& package = ServeAnswer("/package.zip");
    package.status = 500;
    WriteConfig(http_.Url("/version"));
    EXPECT_EQ(RunAgain().back(), "[error] Download Zip Error");

    package = {200, MakePackage(NewPackage), "", "", ""};
    RunAgain();
    EXPECT_EQ(Requested(), (Lines{"/version", "/package.zip", "/version", "/package.zip"}));
    EXPECT_EQ(ConditionsSent()[2], std::string(kEtag) + "|" + kLastModified);
    ExpectUpdatedFrom(http_.Url("/version"), "2.0.0");
}

TEST_F(StoredDocumentTest, ARefusedStoredDocumentIsDroppedAndTheNextRequestIsUnconditional)
{
    OfferValidated("1.0.0");
    WriteConfig(http_.Url("/version"));
    RunAgain();
    ASSERT_TRUE(fs::exists("LastUrlConfig.json"));

    // Signatures required from now on: the stored document, unsigned, is refused.
    WriteLocalConfig("requireSignature", "yes");
    EXPECT_EQ(RunAgain().back(), "[error] Verify UrlConfig Error: unsigned document refused");
    EXPECT_FALSE(fs::exists("LastUrlConfig.json"));
    RunAgain();
    EXPECT_EQ(ConditionsSent(), (Lines{"|", std::string(kEtag) + "|" + kLastModified, "|"}));
}

TEST_F(StoredDocumentTest, OnlyTheSourceThatGaveTheDocumentIsAskedConditionally)
{
    OfferValidated("1.0.0");
    Answer& other = ServeAnswer("/other");
    other = {200, VersionDocument("1.0.0", http_.Url("/package.zip")), "\"other\"", "", ""};
    WriteConfig(http_.Url("/version"));
    RunAgain();
    WriteConfig(http_.Url("/other"));
    RunAgain();
    RunAgain();
    EXPECT_EQ(ConditionsSent(), (Lines{"|", "|", "\"other\"|"}));
    EXPECT_EQ(ReadStoredDocument()->source, http_.Url("/other"));
}

}  // namespace
