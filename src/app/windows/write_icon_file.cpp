// Build-time tool of the Windows build, compiled for the build machine:
// writes AppIcon, as the program draws it, into the .ico file its resource
// script embeds, so Explorer shows the same icon as the tray.
//   write_icon_file <output.ico>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/app_icon.h"

namespace {

void Put16(std::string& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void Put32(std::string& out, std::uint32_t value)
{
    Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(value >> 16));
}

// A 32-bit DIB as icons store it: the header counts the colour rows and
// the AND mask (all zero: the alpha channel decides), rows bottom-up.
std::string IconImageData(const desktop::IconImage& image)
{
    std::string out;
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(image.width));
    Put32(out, static_cast<std::uint32_t>(image.height * 2));
    Put16(out, 1);
    Put16(out, 32);
    for (int i = 0; i < 6; ++i) Put32(out, 0);
    for (int row = image.height - 1; row >= 0; --row) {
        for (int column = 0; column < image.width; ++column) {
            Put32(out, image.argb[static_cast<std::size_t>(row * image.width + column)]);  // B, G, R, A in memory
        }
    }
    const std::size_t mask_row = static_cast<std::size_t>((image.width + 31) / 32 * 4);
    out.append(mask_row * static_cast<std::size_t>(image.height), '\0');
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: write_icon_file <output.ico>\n";
        return 2;
    }
    const std::vector<desktop::IconImage> images = {DrawAppIcon(128), DrawAppIcon(256)};
    std::string file;
    Put16(file, 0);
    Put16(file, 1);  // an icon
    Put16(file, static_cast<std::uint16_t>(images.size()));
    std::vector<std::string> data;
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (const auto& image : images) {
        data.push_back(IconImageData(image));
        file.push_back(static_cast<char>(image.width >= 256 ? 0 : image.width));  // 0 means 256
        file.push_back(static_cast<char>(image.height >= 256 ? 0 : image.height));
        file.push_back(0);  // no palette
        file.push_back(0);
        Put16(file, 1);
        Put16(file, 32);
        Put32(file, static_cast<std::uint32_t>(data.back().size()));
        Put32(file, offset);
        offset += static_cast<std::uint32_t>(data.back().size());
    }
    for (const auto& image : data) file += image;
    std::ofstream out(argv[1], std::ios::binary);
    out << file;
    return out.good() ? 0 : 1;
}
