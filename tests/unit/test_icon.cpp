// The icon tool's PNG writer and downsampling, and the committed menu icons.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "image.h"

namespace
{

using icongen::Image;

std::uint32_t read32(const std::vector<std::uint8_t> &d, std::size_t at)
{
    return (std::uint32_t{d[at]} << 24) | (std::uint32_t{d[at + 1]} << 16) |
           (std::uint32_t{d[at + 2]} << 8) | std::uint32_t{d[at + 3]};
}

struct Decoded {
    std::vector<std::string> chunks; // types in file order
    int depth = 0, colourType = 0, interlace = -1;
    Image image;
};

// An independent reader for 8-bit RGBA PNGs as the tool writes them: checks
// the signature and every chunk's CRC, inflates the data, every row unfiltered.
Decoded decodePng(const std::vector<std::uint8_t> &d)
{
    Decoded out;
    const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_GE(d.size(), 8u);
    if (d.size() < 8 || !std::equal(signature, signature + 8, d.begin())) {
        ADD_FAILURE() << "no PNG signature";
        return out;
    }
    std::vector<std::uint8_t> packed;
    std::size_t at = 8;
    while (at + 12 <= d.size()) {
        const std::uint32_t length = read32(d, at);
        if (at + 12 + length > d.size()) {
            ADD_FAILURE() << "chunk runs past the end of the file";
            return out;
        }
        const std::string type(d.begin() + at + 4, d.begin() + at + 8);
        const uLong crc = crc32(0L, d.data() + at + 4, 4 + length);
        EXPECT_EQ(read32(d, at + 8 + length), static_cast<std::uint32_t>(crc)) << type;
        const std::uint8_t *body = d.data() + at + 8;
        if (type == "IHDR") {
            EXPECT_EQ(length, 13u);
            out.image.width = static_cast<int>(read32(d, at + 8));
            out.image.height = static_cast<int>(read32(d, at + 12));
            out.depth = body[8];
            out.colourType = body[9];
            out.interlace = body[12];
        } else if (type == "IDAT") {
            packed.insert(packed.end(), body, body + length);
        }
        out.chunks.push_back(type);
        at += 12 + length;
    }
    EXPECT_EQ(at, d.size()) << "bytes after the last chunk";
    if (out.depth != 8 || out.colourType != 6 || out.interlace != 0)
        return out;

    const std::size_t row = static_cast<std::size_t>(out.image.width) * 4;
    std::vector<std::uint8_t> raw((row + 1) * out.image.height);
    uLongf rawSize = raw.size();
    if (uncompress(raw.data(), &rawSize, packed.data(), packed.size()) != Z_OK ||
        rawSize != raw.size()) {
        ADD_FAILURE() << "image data does not inflate to " << raw.size() << " bytes";
        return out;
    }
    for (int y = 0; y < out.image.height; ++y) {
        EXPECT_EQ(raw[y * (row + 1)], 0) << "filter of row " << y;
        out.image.rgba.insert(out.image.rgba.end(), raw.begin() + y * (row + 1) + 1,
                              raw.begin() + (y + 1) * (row + 1));
    }
    return out;
}

std::array<int, 4> at(const Image &img, int x, int y)
{
    const std::uint8_t *p = &img.rgba[(static_cast<std::size_t>(y) * img.width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

TEST(IconPng, RoundTripsAnOddSizedNoisyImageWithValidChunks)
{
    // Odd sizes catch a stride that is off by a pixel; noise keeps zlib honest.
    std::mt19937 gen(7);
    Image img{37, 23, {}};
    for (int i = 0; i < 37 * 23 * 4; ++i)
        img.rgba.push_back(static_cast<std::uint8_t>(gen()));
    const Decoded d = decodePng(icongen::encodePng(img));
    EXPECT_EQ(d.chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_EQ(d.depth, 8);
    EXPECT_EQ(d.colourType, 6);
    EXPECT_EQ(d.interlace, 0);
    ASSERT_EQ(d.image.width, 37);
    ASSERT_EQ(d.image.height, 23);
    EXPECT_EQ(d.image.rgba, img.rgba);
}

TEST(IconImage, FlipRowsAndDownsampleByCoverage)
{
    Image column{1, 3, {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}};
    EXPECT_EQ(icongen::flipRows(column).rgba,
              (std::vector<std::uint8_t>{3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1}));
    // One opaque red sample of four: a quarter covered, still full red. Two
    // samples of 50% white glass (premultiplied 128): white at a quarter.
    // Nothing at all: transparent black.
    const std::pair<std::vector<std::uint8_t>, std::array<int, 4>> cases[] = {
        {{255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {255, 0, 0, 64}},
        {{128, 128, 128, 128, 128, 128, 128, 128, 0, 0, 0, 0, 0, 0, 0, 0}, {255, 255, 255, 64}},
        {std::vector<std::uint8_t>(16, 0), {0, 0, 0, 0}},
    };
    for (const auto &[rgba, want] : cases) {
        const Image small = icongen::downsample(Image{2, 2, rgba}, 2);
        ASSERT_EQ(small.width, 1);
        ASSERT_EQ(small.height, 1);
        EXPECT_EQ(at(small, 0, 0), want);
    }
    // Each block on its own: 8x8 in four 4x4 quadrants of different colours.
    Image img{8, 8, {}};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            img.rgba.insert(img.rgba.end(), {static_cast<std::uint8_t>(x < 4 ? 200 : 10),
                                             static_cast<std::uint8_t>(y < 4 ? 100 : 50), 0, 255});
    const Image small = icongen::downsample(img, 4);
    ASSERT_EQ(small.width, 2);
    EXPECT_EQ(at(small, 1, 0), (std::array<int, 4>{10, 100, 0, 255}));
    EXPECT_EQ(at(small, 0, 1), (std::array<int, 4>{200, 50, 0, 255}));
}

class CommittedIcon : public ::testing::TestWithParam<int>
{
};

// The installed icons: a blue ball with a warm-coloured hamster in it, centred
// on a transparent square, at each size the desktop asks for.
TEST_P(CommittedIcon, ShowsAHamsterInABlueBall)
{
    const int size = GetParam();
    const std::string path = std::string(QUORBLY_SOURCE_DIR) + "/packaging/icons/quorbly-" +
                             std::to_string(size) + ".png";
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    const Decoded d = decodePng(bytes);
    ASSERT_EQ(d.image.width, size);
    ASSERT_EQ(d.image.height, size);
    ASSERT_EQ(d.colourType, 6) << "the icon needs an alpha channel";
    ASSERT_EQ(d.image.rgba.size(), static_cast<std::size_t>(size) * size * 4);

    for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
        EXPECT_EQ(at(d.image, x, y)[3], 0) << "corner " << x << "," << y << " is not transparent";

    int covered = 0, blue = 0, warm = 0;
    int minX = size, maxX = -1, minY = size, maxY = -1;
    long warmY = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const auto [r, g, b, a] = at(d.image, x, y);
            if (a == 0)
                continue;
            ++covered;
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
            if (a > 200 && b > r + 80 && b > g + 80)
                ++blue;
            if (a > 200 && r > 150 && r > b + 80 && g > b) {
                ++warm;
                warmY += y;
            }
        }
    const int area = size * size;
    EXPECT_GT(covered, area / 4) << "too little drawn";
    EXPECT_GT(blue, area / 20) << "no blue bars";
    EXPECT_GT(warm, area / 100) << "no hamster";
    // The ball fills most of the square, centred, with a margin all round.
    EXPECT_GT(maxX - minX, size * 3 / 4);
    EXPECT_GT(maxY - minY, size * 3 / 4);
    EXPECT_GT(std::min(minX, minY), 0);
    EXPECT_LT(std::max(maxX, maxY), size - 1);
    EXPECT_NEAR((minX + maxX) / 2.0, size / 2.0, size / 10.0);
    EXPECT_NEAR((minY + maxY) / 2.0, size / 2.0, size / 10.0);
    // The hamster runs on the bottom of its ball.
    ASSERT_GT(warm, 0);
    EXPECT_GT(static_cast<double>(warmY) / warm, (minY + maxY) / 2.0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CommittedIcon, ::testing::Values(64, 128, 256));

} // namespace
