// SPDX-License-Identifier: GPL-3.0-or-later
#include "image.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace icongen
{

namespace
{

void put32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

// Length, type, data, and the CRC over type and data.
void putChunk(std::vector<std::uint8_t> &out, const char (&type)[5],
              const std::vector<std::uint8_t> &data)
{
    put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + data.size()));
    put32(out, static_cast<std::uint32_t>(crc));
}

} // namespace

Image flipRows(const Image &image)
{
    Image out = image;
    const std::size_t row = static_cast<std::size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y)
        std::copy_n(image.rgba.begin() + static_cast<std::ptrdiff_t>(y * row), row,
                    out.rgba.begin() + static_cast<std::ptrdiff_t>((image.height - 1 - y) * row));
    return out;
}

Image downsample(const Image &premultiplied, int factor)
{
    Image out;
    out.width = premultiplied.width / factor;
    out.height = premultiplied.height / factor;
    out.rgba.resize(static_cast<std::size_t>(out.width) * out.height * 4);
    const unsigned area = static_cast<unsigned>(factor * factor);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            unsigned sum[4] = {0, 0, 0, 0};
            for (int dy = 0; dy < factor; ++dy)
                for (int dx = 0; dx < factor; ++dx) {
                    const std::size_t at =
                        (static_cast<std::size_t>(y * factor + dy) * premultiplied.width +
                         static_cast<std::size_t>(x * factor + dx)) *
                        4;
                    for (int c = 0; c < 4; ++c)
                        sum[c] += premultiplied.rgba[at + c];
                }
            std::uint8_t *p = &out.rgba[(static_cast<std::size_t>(y) * out.width + x) * 4];
            const unsigned alpha = (sum[3] + area / 2) / area;
            p[3] = static_cast<std::uint8_t>(alpha);
            for (int c = 0; c < 3; ++c) {
                // colour / alpha, both still summed over the block, rounded.
                unsigned v = sum[3] ? (sum[c] * 255 + sum[3] / 2) / sum[3] : 0;
                p[c] = static_cast<std::uint8_t>(v > 255 ? 255 : v);
            }
            if (alpha == 0)
                p[0] = p[1] = p[2] = 0;
        }
    return out;
}

std::vector<std::uint8_t> encodePng(const Image &image)
{
    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

    std::vector<std::uint8_t> header;
    put32(header, static_cast<std::uint32_t>(image.width));
    put32(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(),
                  {8, 6, 0, 0, 0}); // depth 8, RGBA, deflate, filter set 0, no interlace
    putChunk(out, "IHDR", header);

    // Every row with filter type 0 (none): the icons are small and this keeps
    // the encoder short enough to check by eye.
    const std::size_t row = static_cast<std::size_t>(image.width) * 4;
    std::vector<std::uint8_t> raw;
    raw.reserve((row + 1) * image.height);
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), image.rgba.begin() + static_cast<std::ptrdiff_t>(y * row),
                   image.rgba.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) !=
        Z_OK)
        return {};
    packed.resize(packedSize);
    putChunk(out, "IDAT", packed);
    putChunk(out, "IEND", {});
    return out;
}

bool writePng(const std::string &path, const Image &image)
{
    const std::vector<std::uint8_t> bytes = encodePng(image);
    if (bytes.empty())
        return false;
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace icongen
