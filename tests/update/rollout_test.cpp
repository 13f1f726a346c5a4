// Staged releases: a copy takes a release only when its id mod 100 is
// below the document's rolloutPercent, and keeps its id from run to run.
#include "update/rollout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// First: httplib's winsock2.h goes before windows.h.
#include "update_flow_fixture.h"

#include "update/local_config.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

class RolloutTest : public UpdateFlowTest {
protected:
    // A fresh run of the copy with `id` (none: not drawn yet) against a
    // release of version 2.0.0 offered with `percent`.
    void RunWith(std::optional<std::string> id, const nlohmann::json& percent)
    {
        fs::remove_all("Log");
        fs::remove_all(Extension());
        WriteTree(Extension(), OldExtension);
        const nlohmann::json rollout = percent.is_null()
                                           ? nlohmann::json::object()
                                           : nlohmann::json{{"data", {{"plug", {{"rolloutPercent", percent}}}}}};
        document_ = testing_support::VersionDocument("2.0.0", http_.Url("/package.zip"), rollout);
        config_ = WriteConfig(http_.Url("/version"));
        if (id) WriteLocalConfig("rolloutId", *id);
        if (id) config_ = ReadFileBytes("LocalConfig.json");
        outcome_ = UpdateFlow();
    }

    RolloutTest()
    {
        http_.server().Get("/version", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(document_, "application/json");
        });
        Serve("/package.zip", MakePackage(NewPackage));
    }

    std::string document_;
    std::string config_;
};

TEST_F(RolloutTest, ACopyTakesAReleaseOnlyWhenItsIdModOneHundredIsBelowThePercentage)
{
    const char* const ids[] = {"0", "19", "20", "49", "50", "99", "4294967295"};
    for (const nlohmann::json& percent :
         {nlohmann::json("0"), nlohmann::json("50"), nlohmann::json("100"), nlohmann::json()}) {
        for (const char* id : ids) {
            SCOPED_TRACE(percent.dump() + " id " + id);
            RunWith(id, percent);
            const bool takes = percent.is_null() || std::stoull(id) % 100 < std::stoull(percent.get<std::string>());
            if (takes) {
                ExpectUpdatedFrom(http_.Url("/version"), "2.0.0");
                EXPECT_EQ(ReadLocalConfig("rolloutId"), id);
            } else {
                EXPECT_EQ(LogLines().back(), "[info] Not Need Download Zip");
                ExpectNothingChanged(config_);
            }
        }
    }
}

TEST_F(RolloutTest, TheIdIsDrawnOnceAndKept)
{
    for (const char* unreadable : {"", "-1", "4294967296", "x"}) {
        SCOPED_TRACE(unreadable);
        RunWith(unreadable, "0");
        const std::string drawn = ReadLocalConfig("rolloutId");
        const auto value = std::stoull(drawn);
        EXPECT_EQ(std::to_string(value), drawn);
        EXPECT_LE(value, UINT32_MAX);

        fs::remove_all("Log");
        outcome_ = UpdateFlow();
        EXPECT_EQ(ReadLocalConfig("rolloutId"), drawn);
        EXPECT_EQ(LogLines().back(), "[info] Not Need Download Zip");
    }
    RunWith(std::nullopt, "100");
    ExpectUpdatedFrom(http_.Url("/version"), "2.0.0");
    EXPECT_TRUE(ReadOptionalLocalConfig("rolloutId"));
}

TEST_F(RolloutTest, AMalformedPercentageRefusesTheRun)
{
    for (const nlohmann::json& percent :
         {nlohmann::json("101"), nlohmann::json("-1"), nlohmann::json("050"), nlohmann::json(""), nlohmann::json(" 5"),
          nlohmann::json("5%"), nlohmann::json(50), nlohmann::json(nullptr)}) {
        SCOPED_TRACE(percent.dump());
        fs::remove_all("Log");
        document_ = testing_support::VersionDocument("2.0.0", http_.Url("/package.zip"),
                                                     {{"data", {{"plug", {{"rolloutPercent", percent}}}}}});
        // A null member in a merge patch removes it; set it in the text.
        if (percent.is_null()) document_.insert(document_.size() - 3, R"(,"rolloutPercent":null)");
        const std::string config = WriteConfig(http_.Url("/version"));
        outcome_ = UpdateFlow();
        EXPECT_EQ(LogLines().back(), "[error] Verify UrlConfig Error: malformed rolloutPercent");
        ExpectNothingChanged(config);
    }
}

}  // namespace
