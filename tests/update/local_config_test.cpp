#include "update/local_config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/durable/atomic_file.h"
#include "support/documents.h"
#include "support/temp_folder.h"

namespace {

using testing_support::JsonErrorOf;
using testing_support::ReadFileBytes;
using testing_support::WorkFolder;
using testing_support::WriteFileBytes;

class LocalConfigTest : public ::testing::Test {
protected:
    void Store(const std::string& content) { WriteFileBytes("LocalConfig.json", content); }
    std::string Stored() const { return ReadFileBytes("LocalConfig.json"); }

    WorkFolder work_;
};

TEST_F(LocalConfigTest, ReadsStringValues)
{
    Store(R"({"versionNumber": "1.0.9", "url": "", "Setup": "no", "Elasp": "20"})");
    EXPECT_EQ(ReadLocalConfig("versionNumber"), "1.0.9");
    EXPECT_EQ(ReadLocalConfig("url"), "");
    EXPECT_EQ(ReadLocalConfig("Elasp"), "20");
}

TEST_F(LocalConfigTest, ReadNamesTheTypeOfAMissingOrNonStringValue)
{
    Store(R"({"Elasp": 20, "Setup": null})");
    try {
        ReadLocalConfig("Elasp");
        FAIL() << "a number was read as a string";
    } catch (const nlohmann::json::type_error& error) {
        EXPECT_EQ(error.id, 302);
        EXPECT_STREQ(error.what(), "[json.exception.type_error.302] type must be string, but is number");
    }
    try {
        ReadLocalConfig("versionNumber");
        FAIL() << "a missing key was read";
    } catch (const nlohmann::json::type_error& error) {
        EXPECT_STREQ(error.what(), "[json.exception.type_error.302] type must be string, but is null");
    }
    EXPECT_EQ(Stored(), R"({"Elasp": 20, "Setup": null})") << "reading never changes the file";
}

TEST_F(LocalConfigTest, NullDocumentReadsAsEmptyObjectAndIsWrittenAsOne)
{
    Store("null");
    EXPECT_EQ(JsonErrorOf([] { ReadLocalConfig("Setup"); }), 302);
    WriteLocalConfig("Setup", "yes");
    EXPECT_EQ(Stored(), "{\n    \"Setup\": \"yes\"\n}\n");
}

TEST_F(LocalConfigTest, NonObjectDocumentsGiveTypeError305AndAreNotRewritten)
{
    for (const std::string document : {"[1, 2]", "\"text\"", "42", "true"}) {
        Store(document);
        EXPECT_EQ(JsonErrorOf([] { ReadLocalConfig("Setup"); }), 305) << document;
        EXPECT_EQ(JsonErrorOf([] { WriteLocalConfig("Setup", "yes"); }), 305) << document;
        EXPECT_EQ(Stored(), document);
    }
    Store("[]");
    try {
        ReadLocalConfig("Setup");
    } catch (const nlohmann::json::type_error& error) {
        EXPECT_STREQ(error.what(),
                     "[json.exception.type_error.305] cannot use operator[] with a string argument with array");
    }
}

TEST_F(LocalConfigTest, MissingEmptyOrMalformedFileGivesParseErrorAndIsNotCreatedOrChanged)
{
    EXPECT_EQ(JsonErrorOf([] { ReadLocalConfig("Setup"); }), 101);
    EXPECT_EQ(JsonErrorOf([] { WriteLocalConfig("Setup", "yes"); }), 101);
    EXPECT_FALSE(std::filesystem::exists("LocalConfig.json"));

    for (const std::string document : {"", "{\"Setup\": ", "{'Setup': 'yes'}"}) {
        Store(document);
        EXPECT_EQ(JsonErrorOf([] { WriteLocalConfig("Setup", "yes"); }), 101) << document;
        EXPECT_EQ(Stored(), document);
    }
}

TEST_F(LocalConfigTest, AcceptsByteOrderMarkAndTrailingTextWhichTheNextWriteDrops)
{
    Store("\xEF\xBB\xBF{\"Setup\": \"no\"} trailing {garbage");
    EXPECT_EQ(ReadLocalConfig("Setup"), "no");
    WriteLocalConfig("Setup", "yes");
    EXPECT_EQ(Stored(), "{\n    \"Setup\": \"yes\"\n}\n");
}

TEST_F(LocalConfigTest, WriteKeepsUnknownKeysInByteOrderInTheCanonicalLayout)
{
    Store(R"({"versionNumber":"1.0.9","url":"http://a/b","zeta":{"n":[1,2]},"Setup":"no","Elasp":"20","Zulu":7})");
    WriteLocalConfig("versionNumber", "1.0.10");
    EXPECT_EQ(Stored(),
              "{\n"
              "    \"Elasp\": \"20\",\n"
              "    \"Setup\": \"no\",\n"
              "    \"Zulu\": 7,\n"
              "    \"url\": \"http://a/b\",\n"
              "    \"versionNumber\": \"1.0.10\",\n"
              "    \"zeta\": {\n"
              "        \"n\": [\n"
              "            1,\n"
              "            2\n"
              "        ]\n"
              "    }\n"
              "}\n");
}

TEST_F(LocalConfigTest, WriteReplacesAnyTypeAndRewritesEvenTheSameValue)
{
    Store(R"({"Elasp": 20, "Setup":"yes"})");
    WriteLocalConfig("Elasp", "30");
    WriteLocalConfig("Setup", "yes");
    EXPECT_EQ(Stored(), "{\n    \"Elasp\": \"30\",\n    \"Setup\": \"yes\"\n}\n");
}

TEST_F(LocalConfigTest, NonAsciiAndEscapedValuesRoundTrip)
{
    Store("{}");
    const std::string value = "\xE6\x9B\xB4\xE6\x96\xB0 \"quoted\" back\\slash\ttab";
    WriteLocalConfig("url", value);
    EXPECT_EQ(ReadLocalConfig("url"), value);
    EXPECT_EQ(Stored(), "{\n    \"url\": \"\xE6\x9B\xB4\xE6\x96\xB0 \\\"quoted\\\" back\\\\slash\\ttab\"\n}\n");
}

TEST_F(LocalConfigTest, ReadOnlyFileRaisesNamingTheFileAndKeepsTheOldContent)
{
    Store(R"({"Setup": "no"})");
    ASSERT_EQ(chmod("LocalConfig.json", 0444), 0);
    try {
        WriteLocalConfig("Setup", "yes");
        FAIL() << "writing a read-only file reported success";
    } catch (const platform::FileWriteError& error) {
        EXPECT_NE(std::string(error.what()).find("LocalConfig.json"), std::string::npos) << error.what();
    }
    EXPECT_EQ(Stored(), R"({"Setup": "no"})");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1) << "no temporary file is left";
}

TEST_F(LocalConfigTest, WriteKeepsTheFilePermissions)
{
    Store(R"({"Setup": "no"})");
    ASSERT_EQ(chmod("LocalConfig.json", 0640), 0);
    WriteLocalConfig("Setup", "yes");
    struct stat info {};
    ASSERT_EQ(stat("LocalConfig.json", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(LocalConfigTest, ConcurrentReaderNeverSeesAPartialDocument)
{
    Store(R"({"Setup": "no"})");
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, partial{0};
    std::thread reader([&] {
        while (!done) {
            const std::string seen = ReadFileBytes("LocalConfig.json");
            if (!nlohmann::json::accept(seen)) ++partial;
            ++reads;
        }
    });
    // A long value makes a torn write easy to observe if it happened.
    const std::string long_value(64 * 1024, 'v');
    for (int i = 0; i < 200; ++i) WriteLocalConfig("url", long_value + std::to_string(i));
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(partial.load(), 0);
}

}  // namespace
