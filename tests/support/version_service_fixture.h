#pragma once
// Update runs against a loopback version service: the old extension
// installed, a local configuration naming the service, and routes that
// count the requests they answer.
#include <map>
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

    // What a route of ServeAnswer answers; a test changes it between runs.
    struct Answer {
        int status = 200;
        std::string body;
        std::string etag;           // sent with the answer; a request with it in If-None-Match gets a 304
        std::string last_modified;  // likewise, with If-Modified-Since
        std::string retry_after;
    };

    // Serves `path` as a web server or cache in front of static files does,
    // or one that sheds load: what its Answer holds at each request, a 304
    // instead when the request's conditions match. Counts the requests and
    // records their conditions.
    Answer& ServeAnswer(const std::string& path)
    {
        http_.server().Get(path, [this, path](const httplib::Request& req, httplib::Response& res) {
            Count();
            const std::lock_guard lock(mutex_);
            const Answer& answer = answers_[path];
            const std::string if_none_match = req.get_header_value("If-None-Match");
            const std::string if_modified_since = req.get_header_value("If-Modified-Since");
            conditions_.push_back(if_none_match + "|" + if_modified_since);
            const bool matches =
                answer.status == 200 && ((!if_none_match.empty() && if_none_match == answer.etag) ||
                                         (!if_modified_since.empty() && if_modified_since == answer.last_modified));
            res.status = matches ? 304 : answer.status;
            for (const auto& [name, value] : {std::pair{"ETag", answer.etag},
                                              {"Last-Modified", answer.last_modified},
                                              {"Retry-After", answer.retry_after}}) {
                if (!value.empty()) res.set_header(name, value);
            }
            if (!matches) res.set_content(answer.body, "application/json");
        });
        const std::lock_guard lock(mutex_);
        return answers_[path];
    }

    // The conditions of each request ServeAnswer's routes had, as
    // "<If-None-Match>|<If-Modified-Since>".
    std::vector<std::string> ConditionsSent()
    {
        const std::lock_guard lock(mutex_);
        return conditions_;
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
    std::map<std::string, Answer> answers_;
    std::vector<std::string> conditions_;
};

}  // namespace testing_support
