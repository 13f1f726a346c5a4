#pragma once
// Update runs against a loopback version service: an installed old
// extension, a local configuration, and downloads made by the real download
// call with short time-outs, the built-in service address answered by the
// loopback server too.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "platform/download.h"
#include "platform/text.h"
#include "support/temp_folder.h"
#include "update/installation_fixture.h"
#include "update/local_config.h"
#include "support/loopback_server.h"
#include "update/update_flow.h"

class UpdateRunTest : public InstallationTest {
protected:
    static constexpr platform::DownloadTimeouts kShortTimeouts{std::chrono::seconds(2), std::chrono::seconds(2)};

    UpdateRunTest() { WriteTree(Extension(), OldExtension); }

    // Serves `body` at `path`, counting the requests.
    void Serve(const std::string& path, std::string body)
    {
        http_.server().Get(path, [this, body = std::move(body)](const httplib::Request&, httplib::Response& res) {
            Count();
            res.set_content(body, "application/octet-stream");
        });
    }

    std::string Document(const std::string& version, const std::string& package_path = "/package.zip") const
    {
        return testing_support::VersionDocument(version, http_.Url(package_path));
    }

    // The service at /version offering `version` as the NewPackage at
    // /package.zip.
    void OfferUpdate(const std::string& version)
    {
        Serve("/version", Document(version));
        Serve("/package.zip", MakePackage(NewPackage));
    }

    // Version 1.0.0 installed, its source `url`; returns the file's text.
    static std::string WriteConfig(const std::string& url)
    {
        const std::string text = LocalConfigText("yes", "1.0.0", url);
        testing_support::WriteFileBytes("LocalConfig.json", text);
        return text;
    }

    // One update run whose built-in service address is `builtin_url_`.
    void RunUpdate()
    {
        UpdateFlow([this](std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes) {
            const std::wstring target = url == VersionServiceUrl ? platform::Utf8ToWide(builtin_url_) : std::wstring(url);
            return platform::DownloadToFile(target, file, max_bytes, kShortTimeouts);
        });
    }

    // What RunUpdate raised, empty when it raised nothing.
    std::string RunUpdateError()
    {
        try {
            RunUpdate();
        } catch (const std::exception& error) {
            return error.what();
        }
        return {};
    }

    void ExpectUnchanged(const std::string& config)
    {
        EXPECT_EQ(testing_support::ReadFileBytes("LocalConfig.json"), config);
        EXPECT_EQ(ReadTree(Extension()), OldExtension);
        EXPECT_TRUE(window_.posted.empty());
    }

    void ExpectUpdatedTo(const std::string& version)
    {
        EXPECT_EQ(ReadLocalConfig("versionNumber"), version);
        EXPECT_EQ(ReadTree(Extension()), NewPackage);
        EXPECT_EQ(window_.posted, (std::vector<PostedMessage>{{UpdateNotice, 0, 0}}));
    }

    void Count()
    {
        const std::lock_guard lock(mutex_);
        ++requests_;
    }
    int Requests()
    {
        const std::lock_guard lock(mutex_);
        return requests_;
    }

    testing_support::LoopbackServer http_;
    std::string builtin_url_ = http_.Url("/version");

private:
    std::mutex mutex_;
    int requests_ = 0;
};
