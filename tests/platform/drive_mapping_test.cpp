#include "platform/drive_mapping.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace platform {
namespace {

class DriveMappingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* v = std::getenv("WINEPREFIX")) saved_prefix_ = v;
        if (const char* v = std::getenv("HOME")) saved_home_ = v;
    }
    void TearDown() override
    {
        Restore("WINEPREFIX", saved_prefix_);
        Restore("HOME", saved_home_);
    }

private:
    static void Restore(const char* name, const std::optional<std::string>& value)
    {
        if (value) setenv(name, value->c_str(), 1);
        else unsetenv(name);
    }
    std::optional<std::string> saved_prefix_, saved_home_;
};

TEST_F(DriveMappingTest, MapsDriveCIntoWinePrefix)
{
    setenv("WINEPREFIX", "/tmp/prefix", 1);
    EXPECT_EQ(MapDrivePath(L"C:/Program Files/Common Files/Adobe/CEP/"),
              L"/tmp/prefix/drive_c/Program Files/Common Files/Adobe/CEP/");
}

TEST_F(DriveMappingTest, FallsBackToHomeWineWhenPrefixUnsetOrEmpty)
{
    setenv("HOME", "/home/u", 1);
    unsetenv("WINEPREFIX");
    EXPECT_EQ(MapDrivePath(L"C:/x"), L"/home/u/.wine/drive_c/x");
    setenv("WINEPREFIX", "", 1);
    EXPECT_EQ(MapDrivePath(L"C:/x"), L"/home/u/.wine/drive_c/x");
}

TEST_F(DriveMappingTest, LeavesOtherPathsAlone)
{
    EXPECT_EQ(MapDrivePath(L"LocalConfig.json"), L"LocalConfig.json");
    EXPECT_EQ(MapDrivePath(L"D:/data"), L"D:/data");
}

}  // namespace
}  // namespace platform
