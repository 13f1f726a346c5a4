#include "app/app_icon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Shapes in unit coordinates: (0, 0) top left, (1, 1) bottom right.
bool InDisc(double x, double y)
{
    const double dx = x - 0.5;
    const double dy = y - 0.5;
    return dx * dx + dy * dy <= 0.46 * 0.46;
}

bool InArrow(double x, double y)
{
    const bool shaft = x >= 0.44 && x <= 0.56 && y >= 0.20 && y <= 0.50;
    // The head narrows from its base at y 0.46 to its tip at y 0.68.
    const double half_width = 0.20 * (0.68 - y) / 0.22;
    const bool head = y >= 0.46 && y <= 0.68 && std::abs(x - 0.5) <= half_width;
    const bool bar = x >= 0.28 && x <= 0.72 && y >= 0.74 && y <= 0.80;
    return shaft || head || bar;
}

std::uint32_t Blend(std::uint32_t under, std::uint32_t over, double amount)
{
    std::uint32_t mixed = 0;
    for (const int shift : {16, 8, 0}) {
        const double a = (under >> shift) & 0xFF;
        const double b = (over >> shift) & 0xFF;
        mixed |= static_cast<std::uint32_t>(std::lround(a + (b - a) * amount)) << shift;
    }
    return mixed;
}

}  // namespace

desktop::IconImage DrawAppIcon(int size)
{
    constexpr int Samples = 4;  // per axis, for smooth edges
    constexpr std::uint32_t Top = 0x2F80ED;
    constexpr std::uint32_t Bottom = 0x1B5FC1;
    constexpr std::uint32_t White = 0xFFFFFF;

    desktop::IconImage image{size, size, {}};
    image.argb.reserve(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            int disc = 0;
            int arrow = 0;
            for (int sy = 0; sy < Samples; ++sy) {
                for (int sx = 0; sx < Samples; ++sx) {
                    const double x = (column + (sx + 0.5) / Samples) / size;
                    const double y = (row + (sy + 0.5) / Samples) / size;
                    if (!InDisc(x, y)) continue;
                    ++disc;
                    if (InArrow(x, y)) ++arrow;
                }
            }
            const double shade = static_cast<double>(row) / std::max(1, size - 1);
            const std::uint32_t background = Blend(Top, Bottom, shade);
            const std::uint32_t colour = disc ? Blend(background, White, static_cast<double>(arrow) / disc) : 0;
            const auto alpha = static_cast<std::uint32_t>(disc * 255 / (Samples * Samples));
            image.argb.push_back(alpha << 24 | colour);
        }
    }
    return image;
}
