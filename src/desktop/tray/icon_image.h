#pragma once
// The tray icon's images, and picking and scaling one for the size a shell
// asks for.
#include <cstdint>
#include <span>
#include <vector>

namespace desktop {

// A 32-bit image, row by row from the top, each pixel 0xAARRGGBB.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

// The whole image whose width is nearest `size`; of two as near, the larger
// (scaled down, it loses less). Null when no image is whole.
const IconImage* NearestImage(std::span<const IconImage> images, int size);

// The image scaled down to `size` pixels wide (the height in proportion),
// each pixel the average of the pixels it covers, weighted by their alpha;
// an image no larger is kept as it is.
IconImage ScaledDown(const IconImage& image, int size);

}  // namespace desktop
