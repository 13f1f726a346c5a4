#pragma once
// The update run's tests: the version service also records every path asked
// of it and answers on routes that fail as downloads can fail.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <spdlog/spdlog.h>

// First: httplib's winsock2.h goes before windows.h.
#include "support/version_service_fixture.h"

#include "platform/base/text.h"
#include "platform/net/download.h"
#include "support/wine.h"

// Routes that fail in each way a download can fail. Wine's WinHTTP takes a
// chunked body cut short ("/dropped") for a complete one.
inline std::vector<const char*> BrokenRoutes()
{
    if (testing_support::RunningUnderWine()) return {"/missing", "/error", "/truncated"};
    return {"/missing", "/error", "/dropped", "/truncated"};
}

class UpdateFlowTest : public testing_support::VersionServiceTest {
protected:
    UpdateFlowTest()
    {
        http_.server().set_logger([this](const httplib::Request& req, const httplib::Response&) {
            const std::lock_guard lock(mutex_);
            requested_.push_back(req.path);
        });
        http_.server().Get("/error", [](const httplib::Request&, httplib::Response& res) { res.status = 500; });
        http_.server().Get("/dropped", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/json", [](size_t, httplib::DataSink& sink) {
                sink.write("{\"data\": {", 10);
                return false;
            });
        });
        http_.server().Get("/truncated", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(5000, "application/zip", [](size_t, size_t, httplib::DataSink& sink) {
                sink.write("PK\x03\x04", 4);
                return false;
            });
        });
    }

    static std::string VersionDocument(const std::string& version, const std::string& package_url)
    {
        // With the other fields the real service sends.
        return testing_support::VersionDocument(
            version, package_url,
            {{"code", 200}, {"data", {{"plug", {{"id", 7}}}, {"other", nlohmann::json::object()}}}, {"msg", "ok"}});
    }

    // The version service at `document_path` offering the new package at
    // `package_path`.
    void OfferUpdate(const std::string& version, const std::string& document_path = "/version",
                     const std::string& package_path = "/package.zip")
    {
        Serve(document_path, VersionDocument(version, http_.Url(package_path)));
        Serve(package_path, MakePackage(testing_support::NewPackage));
    }

    // Downloads as in production, except that the built-in service address
    // is answered by the loopback server at `path`.
    HttpDownloader BuiltInServiceAt(const std::string& path)
    {
        return [this, path](std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                            const platform::TransferDeadline& deadline, const platform::ConditionalHeaders& conditions,
                            platform::DownloadAnswer& answer) {
            const std::wstring target =
                url == VersionServiceUrl ? platform::Utf8ToWide(http_.Url(path)) : std::wstring(url);
            return platform::DownloadToFile(target, file, max_bytes, {.whole = deadline}, conditions, &answer);
        };
    }

    std::vector<std::string> Requested()
    {
        const std::lock_guard lock(mutex_);
        return requested_;
    }

    static bool LoggerDropped() { return spdlog::get("basic_logger") == nullptr; }

    void ExpectNothingChanged(const std::string& config)
    {
        ExpectUnchanged(config);
        EXPECT_TRUE(LoggerDropped());
    }

    void ExpectUpdatedFrom(const std::string& source, const std::string& version)
    {
        ExpectUpdatedTo(version);
        EXPECT_EQ(ReadLocalConfig("url"), source);
        EXPECT_EQ(ReadLocalConfig("Elasp"), "20");
        EXPECT_EQ(ReadLocalConfig("Setup"), "yes");
        EXPECT_TRUE(NoReplacementLeftovers());
        EXPECT_EQ(LogLines().back(), "[info] Update Config Finish!");
        EXPECT_FALSE(std::filesystem::exists("config.json"));
        EXPECT_TRUE(std::filesystem::exists("com.qv.plug.zip"));
        EXPECT_TRUE(LoggerDropped());
    }

private:
    std::mutex mutex_;
    std::vector<std::string> requested_;
};
