#include "platform/paths/drive_mapping.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"

namespace platform {
namespace {

class DriveMappingTest : public ::testing::Test {
protected:
    testing_support::ScopedEnvironment environment_;
};

TEST_F(DriveMappingTest, MapsDriveCIntoWinePrefix)
{
    environment_.Set("WINEPREFIX", "/tmp/prefix");
    EXPECT_EQ(MapDrivePath(L"C:/Program Files/Common Files/Adobe/CEP/"),
              L"/tmp/prefix/drive_c/Program Files/Common Files/Adobe/CEP/");
}

TEST_F(DriveMappingTest, FallsBackToHomeWineWhenPrefixUnsetOrEmpty)
{
    environment_.Set("HOME", "/home/u");
    environment_.Unset("WINEPREFIX");
    EXPECT_EQ(MapDrivePath(L"C:/x"), L"/home/u/.wine/drive_c/x");
    environment_.Set("WINEPREFIX", "");
    EXPECT_EQ(MapDrivePath(L"C:/x"), L"/home/u/.wine/drive_c/x");
}

TEST_F(DriveMappingTest, LeavesOtherPathsAlone)
{
    EXPECT_EQ(MapDrivePath(L"LocalConfig.json"), L"LocalConfig.json");
    EXPECT_EQ(MapDrivePath(L"D:/data"), L"D:/data");
}

}  // namespace
}  // namespace platform
