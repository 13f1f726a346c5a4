#include "session/working_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/files.h"
#include "support/temp_folder.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
namespace fs = std::filesystem;

TEST(WorkingFolderTest, MadeFromTheDefaultsOnceAndNeverTouchedAgain)
{
    const testing_support::TempFolder temp;
    const fs::path defaults = temp.path() / "defaults";
    const fs::path folder = temp.path() / "user/MerroUpdate";
    WriteFileBytes(defaults / "com.qv.plug.zip", "package");
    WriteFileBytes(defaults / "LocalConfig.json", R"({"Setup": "no"})");

    EXPECT_TRUE(PrepareWorkingFolder(defaults, folder));
    EXPECT_EQ(ReadFileBytes(folder / "com.qv.plug.zip"), "package");
    EXPECT_EQ(ReadFileBytes(folder / "LocalConfig.json"), R"({"Setup": "no"})");

    WriteFileBytes(folder / "LocalConfig.json", R"({"Setup": "yes"})");
    WriteFileBytes(folder / "com.qv.plug.zip", "a later download");
    EXPECT_FALSE(PrepareWorkingFolder(defaults, folder));
    EXPECT_EQ(ReadFileBytes(folder / "LocalConfig.json"), R"({"Setup": "yes"})");
    EXPECT_EQ(ReadFileBytes(folder / "com.qv.plug.zip"), "a later download");

    // A first login cut short before the configuration starts over.
    fs::remove(folder / "LocalConfig.json");
    EXPECT_TRUE(PrepareWorkingFolder(defaults, folder));
    EXPECT_EQ(ReadFileBytes(folder / "com.qv.plug.zip"), "package");
    EXPECT_FALSE(fs::exists(folder / "com.qv.plug.zip.tmp"));
}

TEST(WorkingFolderTest, MissingDefaultsLeaveNoConfiguration)
{
    const testing_support::TempFolder temp;
    EXPECT_THROW(PrepareWorkingFolder(temp.path() / "none", temp.path() / "folder"), fs::filesystem_error);
    EXPECT_FALSE(fs::exists(temp.path() / "folder/LocalConfig.json"));
}

}  // namespace
