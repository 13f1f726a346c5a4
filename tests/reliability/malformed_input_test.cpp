// Malformed local configurations and version documents: each run ends with
// the JSON library's error (or, for a version document nested too deep, its
// refusal line) and changes nothing, however the text is broken.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "reliability/update_run_fixture.h"
#include "support/temp_folder.h"
#include "update/package_installation.h"

namespace {

using namespace testing_support;

namespace fs = std::filesystem;

// The JSON library's error numbers.
constexpr int kParseError = 101;
constexpr int kNotAString = 302;
constexpr int kNotAnObject = 305;
constexpr int kNumberOutOfRange = 406;
// Not raised: a version document nested too deep is refused with its error
// line before it is parsed.
constexpr int kRefusedTooDeep = 0;

struct Malformed {
    const char* what;
    std::string text;
    int error;
};

std::string Nested(const std::string& open, const std::string& close, int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i) text += open;
    for (int i = 0; i < depth; ++i) text += close;
    return text;
}

// Broken JSON, wherever it stands.
std::vector<Malformed> BrokenTexts()
{
    return {
        {"empty", "", kParseError},
        {"not JSON", "version=1.0.1", kParseError},
        {"an HTML error page", "<html><body>502 Bad Gateway</body></html>", kParseError},
        {"cut off", "{\"versionNumber\": \"1.0", kParseError},
        {"byte order mark only", "\xEF\xBB\xBF", kParseError},
        {"UTF-16", std::string("\xFF\xFE{\0}\0", 6), kParseError},
        {"Latin-1 text", "{\"versionNumber\": \"caf\xE9\"}", kParseError},
        {"stray continuation byte", "{\"versionNumber\": \"1.0\x80\"}", kParseError},
        {"overlong encoding", "{\"versionNumber\": \"\xC0\xAE\"}", kParseError},
        {"lone surrogate", "{\"versionNumber\": \"\\ud800\"}", kParseError},
        {"NUL byte", std::string("{\"versionNumber\"\0: \"1\"}", 23), kParseError},
        {"raw line break in a string", "{\"versionNumber\": \"1.0\n\"}", kParseError},
        {"number too large", "{\"versionNumber\": 1e99999}", kNumberOutOfRange},
        {"unclosed brackets", std::string(100000, '['), kParseError},
    };
}

// A local configuration with `value` under every key.
std::string ConfigWithEveryValue(const std::string& value)
{
    return "{\"Elasp\": " + value + ", \"Setup\": " + value + ", \"url\": " + value + ", \"versionNumber\": " + value +
           "}";
}

std::vector<Malformed> MalformedConfigs()
{
    std::vector<Malformed> corpus = BrokenTexts();
    const std::vector<Malformed> documents_of_another_kind = {
        {"an array", "[\"1.0.0\"]", kNotAnObject},
        {"a string", "\"1.0.0\"", kNotAnObject},
        {"a number", "12", kNotAnObject},
        {"a boolean", "true", kNotAnObject},
        {"deeply nested arrays", Nested("[", "]", 100000), kNotAnObject},
    };
    corpus.insert(corpus.end(), documents_of_another_kind.begin(), documents_of_another_kind.end());
    const std::vector<std::pair<const char*, std::string>> values_of_another_type = {
        {"numbers", "1.0"},
        {"nulls", "null"},
        {"arrays", "[\"1.0.0\"]"},
        {"objects", "{\"major\": 1}"},
        {"booleans", "false"},
        {"huge integers", "123456789012345678901234567890"},
        {"huge negative integers", "-99999999999999999999"},
        {"deeply nested arrays", Nested("[", "]", 100000)},
        {"deeply nested objects", Nested("{\"a\":", "}", 50000).replace(5 * 50000, 0, "0")},
    };
    for (const auto& [what, value] : values_of_another_type) {
        corpus.push_back({what, ConfigWithEveryValue(value), kNotAString});
    }
    return corpus;
}

std::vector<Malformed> MalformedVersionDocuments()
{
    std::vector<Malformed> corpus = BrokenTexts();
    for (Malformed& broken : corpus) {
        if (broken.text.find_first_not_of('[') == std::string::npos && !broken.text.empty()) {
            broken.error = kRefusedTooDeep;  // unclosed, but too deep first
        }
    }
    auto plug = [](const std::string& members) { return "{\"data\": {\"plug\": {" + members + "}}}"; };
    const std::string url = "\"urlPath\": \"http://127.0.0.1:9/p.zip\"";
    const std::vector<Malformed> wrong_shapes = {
        {"an array", "[]", kNotAnObject},
        {"data an array", "{\"data\": []}", kNotAnObject},
        {"data a string", "{\"data\": \"plug\"}", kNotAnObject},
        {"plug a number", "{\"data\": {\"plug\": 7}}", kNotAnObject},
        {"deeply nested arrays", Nested("[", "]", 100000), kRefusedTooDeep},
        {"no data", "{\"code\": 500, \"msg\": \"internal error\"}", kNotAString},
        {"urlPath a number", plug("\"urlPath\": 5, \"versionNumber\": \"2.0\""), kNotAString},
        {"urlPath deeply nested", plug("\"urlPath\": " + Nested("[", "]", 100000)), kRefusedTooDeep},
        {"versionNumber a number", plug(url + ", \"versionNumber\": 2.0"), kNotAString},
        {"versionNumber null", plug(url + ", \"versionNumber\": null"), kNotAString},
        {"versionNumber a huge integer", plug(url + ", \"versionNumber\": 123456789012345678901234567890"),
         kNotAString},
        {"versionNumber out of range", plug(url + ", \"versionNumber\": 1e400"), kNumberOutOfRange},
        {"urlPath not UTF-8", plug("\"urlPath\": \"http://h/\xFF\", \"versionNumber\": \"2.0\""), kParseError},
    };
    corpus.insert(corpus.end(), wrong_shapes.begin(), wrong_shapes.end());
    return corpus;
}

class MalformedInputTest : public UpdateRunTest {
protected:
    MalformedInputTest()
    {
        http_.server().Get("/version", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(version_document_, "application/json");
        });
        Serve("/package.zip", package_);
        WriteFileBytes("com.qv.plug.zip", package_);
    }

    void ExpectNothingChanged(const std::string& config)
    {
        ExpectUnchanged(config);
        EXPECT_EQ(ReadFileBytes("com.qv.plug.zip"), package_);
        EXPECT_EQ(Requests(), 0) << "the package was asked for";
    }

    std::string version_document_;
    const std::string package_ = MakePackage(NewPackage);
};

TEST_F(MalformedInputTest, MalformedLocalConfigurationStopsStartUpAndEveryRun)
{
    version_document_ = Document("2.0.0");
    for (const Malformed& config : MalformedConfigs()) {
        SCOPED_TRACE(config.what);
        WriteFileBytes("LocalConfig.json", config.text);
        fs::remove("Log/action-log.txt");

        EXPECT_EQ(JsonErrorOf([&] {
                      const ActivityLogSession session;
                      SetupRoutine(session.log(), [] {});
                  }),
                  config.error);
        EXPECT_EQ(JsonErrorOf([&] { RunUpdate(); }), config.error);
        // A write replaces whole values, so only a broken document stops it.
        if (config.error != kNotAString) {
            EXPECT_EQ(JsonErrorOf([&] { WriteLocalConfig("versionNumber", "2.0.0"); }), config.error);
        }

        ExpectNothingChanged(config.text);
        EXPECT_EQ(LogLines(), (std::vector<std::string>{"[info] Download Process Start!"}));
    }
}

TEST_F(MalformedInputTest, MalformedVersionDocumentEndsTheRunAndTheNextRunWorks)
{
    const std::string config = WriteConfig(http_.Url("/version"));
    for (const Malformed& document : MalformedVersionDocuments()) {
        SCOPED_TRACE(document.what);
        version_document_ = document.text;
        fs::remove("Log/action-log.txt");

        EXPECT_EQ(JsonErrorOf([&] { RunUpdate(); }), document.error);

        ExpectNothingChanged(config);
        EXPECT_EQ(LogLines().back(), document.error == kRefusedTooDeep
                                         ? "[error] Verify UrlConfig Error: document nested deeper than 64 levels"
                                         : "[info] Download UrlConfig!");
        // Kept for a look at what the service sent.
        EXPECT_EQ(ReadFileBytes("config.json"), document.text);
    }

    version_document_ = Document("2.0.0");
    RunUpdate();
    ExpectUpdatedTo("2.0.0");
}

}  // namespace
