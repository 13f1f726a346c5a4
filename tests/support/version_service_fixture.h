#pragma once
// Update runs against a loopback version service: the old extension
// installed, a local configuration naming the service, and routes that
// count the requests they answer.
#include <mutex>
#include <string>
#include <vector>

#include "support/installation_fixture.h"
#include "support/loopback_server.h"
#include "update/local_config.h"
#include "update/update_flow.h"

namespace testing_support {

class VersionServiceTest : public InstallationTest {
protected:
    VersionServiceTest() { WriteTree(Extension(), OldExtension); }

    // Serves `body` at `path`, counting the requests.
    void Serve(const std::string& path, std::string body)
    {
        http_.server().Get(path, [this, body = std::move(body)](const httplib::Request&, httplib::Response& res) {
            Count();
            res.set_content(body, "application/octet-stream");
        });
    }

    // `version` installed from `url`; returns the file's text.
    static std::string WriteConfig(const std::string& url, const std::string& version = "1.0.0")
    {
        const std::string text = LocalConfigText("yes", version, url);
        WriteFileBytes("LocalConfig.json", text);
        return text;
    }

    void ExpectUnchanged(const std::string& config)
    {
        EXPECT_EQ(ReadFileBytes("LocalConfig.json"), config);
        EXPECT_EQ(ReadTree(Extension()), OldExtension);
        EXPECT_NE(outcome_.result, RunResult::kUpdated);
    }

    void ExpectUpdatedTo(const std::string& version)
    {
        EXPECT_EQ(ReadLocalConfig("versionNumber"), version);
        EXPECT_EQ(ReadTree(Extension()), NewPackage);
        EXPECT_EQ(outcome_.result, RunResult::kUpdated);
    }

    // Counts a request answered; Serve's routes count themselves.
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

    LoopbackServer http_;

private:
    std::mutex mutex_;
    int requests_ = 0;
};

}  // namespace testing_support
