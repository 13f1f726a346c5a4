#include "update/update_flow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// Before any header that includes <windows.h>: it brings the HTTP library,
// whose winsock2.h must come first.
#include "update_flow_fixture.h"

#include "platform/base/text.h"
#include "platform/net/download.h"
#include "support/named_child.h"
#include "support/temp_folder.h"
#include "support/wine.h"
#include "update/local_config.h"
#include "update/log/log_value.h"
#include "update/version_document.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

TEST_F(UpdateFlowTest, RunningIllustratorStopsTheRunAfterTwoLines)
{
    OfferUpdate("2.0.0");
    const std::string config = WriteConfig(http_.Url("/version"));
    NamedChild illustrator("Illustrator.exe");
    ASSERT_TRUE(illustrator.started());

    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines(), (Lines{"[info] Download Process Start!", "[info] Found Illustrator Exist, Not Download"}));
    EXPECT_TRUE(Requested().empty());
    EXPECT_FALSE(fs::exists("config.json"));
    EXPECT_FALSE(fs::exists("com.qv.plug.zip"));
    ExpectNothingChanged(config);
}

TEST_F(UpdateFlowTest, AnotherCopyReplacingTheExtensionLeavesTheUpdateToTheNextRun)
{
    OfferUpdate("2.0.0");
    const std::string config = WriteConfig(http_.Url("/version"));
    {
        ReplacementByAnotherCopy other;
        ASSERT_TRUE(other.held());
        outcome_ = UpdateFlow();
    }
    EXPECT_EQ(outcome_, Failure("Extension Busy: another copy is replacing it"));
    EXPECT_EQ(LogLines().back(), "[error] Extension Busy: another copy is replacing it");
    ExpectUnchanged(config);

    fs::remove_all("Log");
    outcome_ = UpdateFlow();
    ExpectUpdatedFrom(http_.Url("/version"), "2.0.0");
}

TEST_F(UpdateFlowTest, EqualVersionsEndTheRunAndLeaveTheConfigurationByteForByte)
{
    OfferUpdate("1.0.9");
    const std::string config = WriteConfig(http_.Url("/version"), "1.0.9");

    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines(), (Lines{"[info] Download Process Start!", "[info] Local: 1.0.9 " + http_.Url("/version"),
                                 "[info] Download UrlConfig!", "[info] URLData: 1.0.9 " + http_.Url("/package.zip"),
                                 "[info] Delete UrlConfig Finish!", "[info] Not Need Download Zip"}));
    EXPECT_EQ(Requested(), (Lines{"/version"}));
    EXPECT_FALSE(fs::exists("config.json"));
    ExpectNothingChanged(config);
}

TEST_F(UpdateFlowTest, DifferentVersionIsInstalledWithoutOrderingVersions)
{
    OfferUpdate("1.0.9");
    WriteConfig(http_.Url("/version"), "1.0.10");

    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines(),
              (Lines{"[info] Download Process Start!", "[info] Local: 1.0.10 " + http_.Url("/version"),
                     "[info] Download UrlConfig!", "[info] URLData: 1.0.9 " + http_.Url("/package.zip"),
                     "[info] Delete UrlConfig Finish!", "[info] Download Zip Finish!", "[info] Delete Old Files!",
                     "[info] Unzip Files Finish!", "[info] Update Config Finish!"}));
    EXPECT_EQ(Requested(), (Lines{"/version", "/package.zip"}));
    ExpectUpdatedFrom(http_.Url("/version"), "1.0.9");
}

TEST_F(UpdateFlowTest, BuiltInServiceAnswersWhenThePreferredSourceDoesNot)
{
    for (const std::string& preferred : {std::string(), http_.Url("/missing"), http_.Url("/error")}) {
        SCOPED_TRACE("url = \"" + preferred + "\"");
        fs::remove_all("Log");
        outcome_ = {};
        WriteTree(Extension(), OldExtension);
        OfferUpdate("2.0.0", "/service");
        WriteConfig(preferred);

        outcome_ = UpdateFlow(BuiltInServiceAt("/service"));
        EXPECT_EQ(LogLines()[1], "[info] Local: 1.0.0 " + preferred);
        ExpectUpdatedFrom(platform::WideToUtf8(VersionServiceUrl), "2.0.0");
    }
}

TEST_F(UpdateFlowTest, NoSourceAnsweringEndsTheRunAndKeepsAnEarlierVersionDocument)
{
    for (const char* route : BrokenRoutes()) {
        SCOPED_TRACE(route);
        fs::remove_all("Log");
        WriteFileBytes("config.json", "left by an earlier run");
        const std::string config = WriteConfig(http_.Url(route));

        outcome_ = UpdateFlow(BuiltInServiceAt(route));
        EXPECT_EQ(LogLines(), (Lines{"[info] Download Process Start!", "[info] Local: 1.0.0 " + http_.Url(route),
                                     "[error] Download Config Error"}));
        EXPECT_EQ(ReadFileBytes("config.json"), "left by an earlier run");
        ExpectNothingChanged(config);
    }
}

TEST_F(UpdateFlowTest, FailedPackageDownloadInstallsNothingAndKeepsTheOldPackage)
{
    for (const char* route : BrokenRoutes()) {
        SCOPED_TRACE(route);
        fs::remove_all("Log");
        Serve(std::string("/version-") + (route + 1), VersionDocument("2.0.0", http_.Url(route)));
        WriteFileBytes("com.qv.plug.zip", "the package of an earlier update");
        const std::string config = WriteConfig(http_.Url(std::string("/version-") + (route + 1)));

        outcome_ = UpdateFlow();
        EXPECT_EQ(LogLines().back(), "[error] Download Zip Error");
        EXPECT_EQ(ReadFileBytes("com.qv.plug.zip"), "the package of an earlier update");
        EXPECT_FALSE(fs::exists("config.json"));
        ExpectNothingChanged(config);
    }
}

TEST_F(UpdateFlowTest, ADownloadReportingSuccessWithoutAFileCountsAsFailed)
{
    OfferUpdate("2.0.0");
    const std::string config = WriteConfig(http_.Url("/version"));
    const Downloader claims_success = [](std::wstring_view, std::wstring_view, std::uint64_t,
                                         const platform::TransferDeadline&) { return 0; };
    outcome_ = UpdateFlow(claims_success);
    EXPECT_EQ(LogLines().back(), "[error] Download Config Error");

    fs::remove_all("Log");
    const Downloader only_the_document = [](std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                                            const platform::TransferDeadline&) {
        return file == L"config.json" ? platform::DownloadToFile(url, file, max_bytes) : 0;
    };
    outcome_ = UpdateFlow(only_the_document);
    EXPECT_EQ(LogLines().back(), "[error] Download Zip Error");
    EXPECT_FALSE(fs::exists("com.qv.plug.zip"));
    ExpectNothingChanged(config);
}

TEST_F(UpdateFlowTest, VersionDocumentWithoutUrlPathRaisesAndTheNextRunWorks)
{
    Serve("/broken", R"({"data": {"plug": {"versionNumber": "2.0.0"}}})");
    const std::string config = WriteConfig(http_.Url("/broken"));
    EXPECT_THAT([] { UpdateFlow(); }, ThrowsMissingStringError());
    EXPECT_EQ(LogLines().back(), "[info] Download UrlConfig!");
    EXPECT_EQ(ReadFileBytes("config.json"), R"({"data": {"plug": {"versionNumber": "2.0.0"}}})");
    ExpectNothingChanged(config);

    OfferUpdate("2.0.0");
    WriteConfig(http_.Url("/version"));
    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines().size(), 3u + 9u);
    ExpectUpdatedFrom(http_.Url("/version"), "2.0.0");
}

TEST_F(UpdateFlowTest, TextAfterTheVersionDocumentIsAccepted)
{
    Serve("/version", VersionDocument("2.0.0", http_.Url("/package.zip")) + "\n<html>trailing</html>");
    Serve("/package.zip", MakePackage(NewPackage));
    WriteConfig(http_.Url("/version"));
    outcome_ = UpdateFlow();
    ExpectUpdatedFrom(http_.Url("/version"), "2.0.0");
}

TEST_F(UpdateFlowTest, NonAsciiAddressesAreFetchedAndRecordedUnchanged)
{
    OfferUpdate("2.0.0", "/版本/配置", "/包/插件.zip");
    WriteConfig(http_.Url("/版本/配置"));
    outcome_ = UpdateFlow();
    EXPECT_EQ(LogLines()[1], "[info] Local: 1.0.0 " + http_.Url("/版本/配置"));
    EXPECT_EQ(Requested(), (Lines{"/版本/配置", "/包/插件.zip"}));
    ExpectUpdatedFrom(http_.Url("/版本/配置"), "2.0.0");
}

TEST_F(UpdateFlowTest, FailedExtractionKeepsTheOldExtensionAndRecordsNothing)
{
    Serve("/version", VersionDocument("2.0.0", http_.Url("/package.zip")));
    Serve("/package.zip", MakeDamagedPackage());
    const std::string config = WriteConfig(http_.Url("/version"));
    EXPECT_ANY_THROW(UpdateFlow());
    EXPECT_EQ(LogLines().back(), "[info] Delete Old Files!");
    EXPECT_TRUE(NoReplacementLeftovers());
    ExpectNothingChanged(config);
}

TEST_F(UpdateFlowTest, UnreadableLocalConfigurationRaisesAfterTheFirstLine)
{
    WriteFileBytes("LocalConfig.json", R"({"Elasp": "20", "Setup": "yes", "versionNumber": "1.0.0"})");
    const std::string config = ReadFileBytes("LocalConfig.json");
    EXPECT_THROW(UpdateFlow(), nlohmann::json::type_error);
    EXPECT_EQ(LogLines(), (Lines{"[info] Download Process Start!"}));
    EXPECT_TRUE(Requested().empty());
    ExpectNothingChanged(config);
}

}  // namespace

TEST_F(UpdateFlowTest, DeeplyNestedDocumentIsRefusedBeforeItIsRead)
{
    // The document's own object, "data" and "plug" are three levels.
    const auto nested_in_plug = [this](int arrays) {
        return R"({"data": {"plug": {"urlPath": ")" + http_.Url("/package.zip") +
               R"(", "versionNumber": "2.0.0", "extra": )" + std::string(arrays, '[') + std::string(arrays, ']') +
               "}}}";
    };
    Serve("/deep", nested_in_plug(100000));  // about 200 KB
    Serve("/one-too-deep", nested_in_plug(kMaxDocumentNesting - 2));
    for (const char* path : {"/deep", "/one-too-deep"}) {
        SCOPED_TRACE(path);
        const std::string config = WriteConfig(http_.Url(path));
        outcome_ = UpdateFlow();
        EXPECT_EQ(LogLines().back(), "[error] Verify UrlConfig Error: document nested deeper than 64 levels");
        ExpectNothingChanged(config);
    }
    EXPECT_EQ(Requested(), (Lines{"/deep", "/one-too-deep"}));

    Serve("/deepest-read", nested_in_plug(kMaxDocumentNesting - 3));
    Serve("/package.zip", MakePackage(NewPackage));
    WriteConfig(http_.Url("/deepest-read"));
    outcome_ = UpdateFlow();
    ExpectUpdatedFrom(http_.Url("/deepest-read"), "2.0.0");
}

TEST_F(UpdateFlowTest, ControlCharactersInLoggedValuesAreWrittenAsEscapes)
{
    const std::string forged_line = "[2026-12-09 09:30:05.123] [basic_logger] [info] Update Config Finish!";
    Serve("/version", VersionDocument("2.0.0\r\n" + forged_line, "\x1b[2J\t\x7f\xc2\x9b" + http_.Url("/p.zip")));
    WriteConfig(http_.Url("/version"), "1.0.0\n");
    outcome_ = UpdateFlow();
    EXPECT_EQ(
        LogLines(),
        (Lines{"[info] Download Process Start!", "[info] Local: 1.0.0\\n " + http_.Url("/version"),
               "[info] Download UrlConfig!",
               "[info] URLData: 2.0.0\\r\\n" + forged_line + " \\x1b[2J\\t\\x7f\\u009b" + http_.Url("/p.zip"),
               "[info] Delete UrlConfig Finish!", "[error] Verify UrlConfig Error: urlPath is not http or https"}));
    EXPECT_EQ(LogValue("版本 1.0 \\n"), "版本 1.0 \\n");
}

// A file: share would have Windows log on to its host with the user's
// credentials; whatever is not http or https never leaves the document.
TEST_F(UpdateFlowTest, PackageUrlsThatAreNotHttpOrHttpsAreRefused)
{
    WriteFileBytes("share.zip", MakePackage(NewPackage));
    const std::string local_file = "file://" + fs::absolute("share.zip").generic_string();
    const Lines package_urls = {"file://host/share/com.qv.plug.zip",
                                local_file,
                                "FILE:////host/share/x.zip",
                                "ftp://127.0.0.1/x.zip",
                                "//127.0.0.1/x.zip",
                                http_.Url("/package.zip").substr(std::string("http://").size())};
    for (const std::string& package_url : package_urls) {
        SCOPED_TRACE(package_url);
        Serve("/version", VersionDocument("2.0.0", package_url));
        const std::string config = WriteConfig(http_.Url("/version"));
        outcome_ = UpdateFlow();
        EXPECT_EQ(outcome_, Failure("Verify UrlConfig Error: urlPath is not http or https"));
        EXPECT_EQ(LogLines().back(), "[error] Verify UrlConfig Error: urlPath is not http or https");
        ExpectNothingChanged(config);
        fs::remove_all("Log");
    }
    EXPECT_EQ(Requested(), Lines(6, "/version"));
}

TEST_F(UpdateFlowTest, UnsignedSizeOnlyLowersThePackageLimitAndEveryDownloadHasADeadline)
{
    struct Asked {
        std::uint64_t max_bytes;
        platform::TransferDeadline deadline;
    };
    std::vector<Asked> asked;
    const Downloader recording = [&](std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                                     const platform::TransferDeadline& deadline) {
        asked.push_back({max_bytes, deadline});
        return file == L"config.json" ? platform::DownloadToFile(url, file, max_bytes) : 1;
    };
    const platform::TransferDeadline document{.base = std::chrono::seconds(30)};
    const platform::TransferDeadline package{.base = std::chrono::seconds(60), .min_rate = 32 * 1024};
    const std::uint64_t four_gib = std::uint64_t{4} << 30;
    for (const std::uint64_t size : {std::uint64_t{1000}, four_gib * 2}) {
        SCOPED_TRACE(size);
        const std::string path = "/sized/" + std::to_string(size);
        Serve(path,
              testing_support::VersionDocument("2.0.0", http_.Url("/p.zip"), {{"data", {{"plug", {{"size", size}}}}}}));
        asked.clear();
        WriteConfig(http_.Url(path));
        outcome_ = UpdateFlow(recording);
        ASSERT_EQ(asked.size(), 2u);
        EXPECT_EQ(asked[0].max_bytes, std::uint64_t{1} << 20);
        EXPECT_EQ(asked[0].deadline, document);
        EXPECT_EQ(asked[1].max_bytes, std::min(size, four_gib));
        EXPECT_EQ(asked[1].deadline, package);
    }
}
