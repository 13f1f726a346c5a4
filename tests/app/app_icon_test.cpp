#include "app/app_icon.h"

#include <gtest/gtest.h>

#include "app/app_resources.h"

namespace {

std::uint32_t Pixel(const desktop::IconImage& image, double x, double y)
{
    const int column = static_cast<int>(x * image.width);
    const int row = static_cast<int>(y * image.height);
    return image.argb[static_cast<std::size_t>(row * image.width + column)];
}

TEST(AppIconTest, ResourcesHoldThe128And256PixelImages)
{
    const AppInstance resources = LoadAppResources();
    ASSERT_EQ(resources->icon.size(), 2u);
    for (const auto& [image, size] : {std::pair{resources->icon[0], 128}, std::pair{resources->icon[1], 256}}) {
        EXPECT_EQ(image.width, size);
        EXPECT_EQ(image.height, size);
        EXPECT_EQ(image.argb.size(), static_cast<std::size_t>(size * size));
    }
}

TEST(AppIconTest, DiscOnTransparentGroundWithWhiteArrow)
{
    const desktop::IconImage image = DrawAppIcon(128);
    EXPECT_EQ(Pixel(image, 0.01, 0.01), 0u) << "corners are transparent";
    EXPECT_EQ(Pixel(image, 0.15, 0.5) >> 24, 0xFFu) << "the disc is opaque";
    EXPECT_NE(Pixel(image, 0.15, 0.5) & 0xFFFFFF, 0xFFFFFFu) << "the disc is blue";
    EXPECT_EQ(Pixel(image, 0.5, 0.35), 0xFFFFFFFFu) << "the arrow's shaft is white";
    EXPECT_EQ(Pixel(image, 0.5, 0.77), 0xFFFFFFFFu) << "the bar is white";
    // Edges are smoothed: some pixels are partly covered.
    bool partial = false;
    for (const std::uint32_t pixel : image.argb) partial |= (pixel >> 24) != 0 && (pixel >> 24) != 0xFF;
    EXPECT_TRUE(partial);
}

}  // namespace
