#include "update/leftover_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/durable/replacement_file.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// No system hands out a process id this high, so its writer is not running.
constexpr const char* kDeadWriter = "4000000000";

TEST(LeftoverFilesTest, RemovesOnlyTheDeadWritersTemporaryFilesOfTheWorkingFiles)
{
    const testing_support::WorkFolder work;
    const std::string dead = std::string(".tmp-") + kDeadWriter;
    const std::string removed[] = {"LocalConfig.json" + dead + "-0", "config.json" + dead + "-12",
                                   "com.qv.plug.zip" + dead + "-3", "com.qv.plug.zip.part" + dead + "-7"};
    const std::string kept[] = {"LocalConfig.json",          "other.json" + dead + "-0",
                                "LocalConfig.json" + dead,   "config.json" + dead + "-x",
                                "config.json.tmp--1",        "com.qv.plug.zip" + dead + "-3.bak",
                                "xconfig.json" + dead + "-1"};
    for (const std::string& name : removed) ASSERT_TRUE(testing_support::WriteFileBytes(name, "half"));
    for (const std::string& name : kept) ASSERT_TRUE(testing_support::WriteFileBytes(name, "keep"));
    fs::create_directory("com.qv.plug.zip" + dead + "-9");
    // A file being written right now, by a process that runs: this one.
    platform::ReplacementFile live(L"LocalConfig.json");
    ASSERT_EQ(live.error(), 0);

    RemoveLeftoverFiles();

    for (const std::string& name : removed) EXPECT_FALSE(fs::exists(name)) << name;
    for (const std::string& name : kept) EXPECT_TRUE(fs::exists(name)) << name;
    EXPECT_TRUE(fs::is_directory("com.qv.plug.zip" + dead + "-9"));
    int live_files = 0;
    for (const auto& entry : fs::directory_iterator(".")) {
        live_files += entry.path().filename().string().starts_with("LocalConfig.json.tmp-") &&
                      entry.path().filename().string() != "LocalConfig.json" + dead;
    }
    EXPECT_EQ(live_files, 1);
    EXPECT_EQ(live.Commit(), 0);
}

}  // namespace
