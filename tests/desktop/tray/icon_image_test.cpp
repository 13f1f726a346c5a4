#include "desktop/tray/icon_image.h"

#include <gtest/gtest.h>

#include <vector>

namespace desktop {
namespace {

IconImage Solid(int size, std::uint32_t pixel)
{
    return {size, size, std::vector<std::uint32_t>(static_cast<std::size_t>(size * size), pixel)};
}

TEST(IconImageTest, NearestWholeImageWinsAndTiesGoToTheLarger)
{
    const std::vector<IconImage> images = {Solid(16, 1), Solid(32, 2), Solid(48, 3), {64, 64, {4}}};
    EXPECT_EQ(NearestImage(images, 20)->width, 16);
    EXPECT_EQ(NearestImage(images, 24)->width, 32);  // 8 from 16 and from 32
    EXPECT_EQ(NearestImage(images, 64)->width, 48);  // the 64 has too few pixels
    EXPECT_EQ(NearestImage(std::vector<IconImage>{{2, 2, {}}}, 2), nullptr);
}

TEST(IconImageTest, ScalingDownAveragesByAlphaAndNeverScalesUp)
{
    // Half opaque red, half transparent: the colour stays red, the alpha halves.
    const IconImage half_red{2, 1, {0xFFFF0000u, 0x0000FF00u}};
    EXPECT_EQ(ScaledDown(half_red, 1).argb, (std::vector<std::uint32_t>{0x80FF0000u}));
    EXPECT_EQ(ScaledDown(Solid(4, 0), 2).argb, std::vector<std::uint32_t>(4, 0u));
    const IconImage wide{4, 2, std::vector<std::uint32_t>(8, 0xFF102030u)};
    const IconImage scaled = ScaledDown(wide, 2);
    EXPECT_EQ(scaled.width, 2);
    EXPECT_EQ(scaled.height, 1);
    EXPECT_EQ(scaled.argb, std::vector<std::uint32_t>(2, 0xFF102030u));
    EXPECT_EQ(ScaledDown(wide, 8).width, 4);
}

}  // namespace
}  // namespace desktop
