#include "desktop/tray/icon_image.h"

#include <algorithm>
#include <cstdlib>

namespace desktop {

namespace {

bool IsWhole(const IconImage& image)
{
    return image.width > 0 && image.height > 0 &&
           image.argb.size() == static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
}

}  // namespace

const IconImage* NearestImage(std::span<const IconImage> images, int size)
{
    const IconImage* nearest = nullptr;
    for (const IconImage& image : images) {
        if (!IsWhole(image)) continue;
        if (nearest == nullptr) {
            nearest = &image;
            continue;
        }
        const int distance = std::abs(image.width - size);
        const int best = std::abs(nearest->width - size);
        if (distance < best || (distance == best && image.width > nearest->width)) nearest = &image;
    }
    return nearest;
}

IconImage ScaledDown(const IconImage& image, int size)
{
    if (image.width <= size) return image;
    const int width = size;
    const int height = std::max(1, image.height * size / image.width);
    IconImage scaled{width, height, {}};
    scaled.argb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        const int top = row * image.height / height;
        const int bottom = std::max(top + 1, (row + 1) * image.height / height);
        for (int column = 0; column < width; ++column) {
            const int left = column * image.width / width;
            const int right = std::max(left + 1, (column + 1) * image.width / width);
            std::uint64_t alpha = 0;
            std::uint64_t red = 0;
            std::uint64_t green = 0;
            std::uint64_t blue = 0;
            for (int y = top; y < bottom; ++y) {
                for (int x = left; x < right; ++x) {
                    const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                                           static_cast<std::size_t>(x);
                    const std::uint32_t pixel = image.argb[at];
                    const std::uint32_t a = pixel >> 24;
                    alpha += a;
                    red += a * ((pixel >> 16) & 0xFF);
                    green += a * ((pixel >> 8) & 0xFF);
                    blue += a * (pixel & 0xFF);
                }
            }
            const auto count = static_cast<std::uint64_t>(bottom - top) * static_cast<std::uint64_t>(right - left);
            std::uint32_t pixel = 0;
            if (alpha != 0) {
                pixel = static_cast<std::uint32_t>((alpha + count / 2) / count) << 24 |
                        static_cast<std::uint32_t>((red + alpha / 2) / alpha) << 16 |
                        static_cast<std::uint32_t>((green + alpha / 2) / alpha) << 8 |
                        static_cast<std::uint32_t>((blue + alpha / 2) / alpha);
            }
            scaled.argb.push_back(pixel);
        }
    }
    return scaled;
}

}  // namespace desktop
