// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// RGBA images for the icon: 8 bits a channel, rows top first, colour not
// premultiplied (as PNG stores it) unless a function says otherwise.
namespace icongen
{

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

// A GL read-back (bottom row first) turned into top-row-first order.
Image flipRows(const Image &image);

// Averages factor x factor blocks. The input holds premultiplied colour (what
// blending onto a transparent black clear leaves in the framebuffer); the
// output is straight colour, so a half-covered edge pixel keeps its hue
// instead of going dark.
Image downsample(const Image &premultiplied, int factor);

// A complete PNG file (8-bit RGBA, no interlace, zlib level 9). Same pixels,
// same bytes.
std::vector<std::uint8_t> encodePng(const Image &image);
bool writePng(const std::string &path, const Image &image);

} // namespace icongen
