#include "core/pixel_format.h"

#include <gtest/gtest.h>

#include <vector>

namespace kwp::core {
namespace {

PixelLayout Layout(int depth, int bpp, uint32_t r, uint32_t g, uint32_t b, bool msbFirst = false) {
    PixelLayout layout;
    layout.depth = depth;
    layout.bitsPerPixel = bpp;
    layout.msbFirst = msbFirst;
    layout.redMask = r;
    layout.greenMask = g;
    layout.blueMask = b;
    return layout;
}

const PixelLayout k565 = Layout(16, 16, 0xF800, 0x07E0, 0x001F);
const PixelLayout k555 = Layout(15, 16, 0x7C00, 0x03E0, 0x001F);
const PixelLayout k332 = Layout(8, 8, 0xE0, 0x1C, 0x03);
const PixelLayout k30 = Layout(30, 32, 0x3FF00000, 0x000FFC00, 0x000003FF);
const PixelLayout kBgr = Layout(24, 32, 0x0000FF, 0x00FF00, 0xFF0000);
const PixelLayout kRgb = Layout(24, 32, 0xFF0000, 0x00FF00, 0x0000FF);

struct PixelCase {
    const char* what;
    PixelLayout layout;
    std::vector<uint8_t> bytes;  // one pixel as the server holds it
    uint32_t word;
    std::vector<uint8_t> back = {};  // the word written back, when not `bytes`
};

TEST(PixelFormat, ServerPixelsBecomeWordsWithFieldsWidenedByRepeatingTheirBits) {
    const std::vector<PixelCase> cases = {
        {"565 red", k565, {0x00, 0xF8}, 0xFF0000},
        {"565 green", k565, {0xE0, 0x07}, 0x00FF00},
        {"565 blue", k565, {0x1F, 0x00}, 0x0000FF},
        {"565 middle: 10000 100000 10000", k565, {0x10, 0x84}, 0x848284},
        {"565 most significant byte first", Layout(16, 16, 0xF800, 0x07E0, 0x001F, true), {0xF8, 0x00}, 0xFF0000},
        {"555 red", k555, {0x00, 0x7C}, 0xFF0000},
        {"555 top bit ignored", k555, {0x1F, 0x80}, 0x0000FF, {0x1F, 0x00}},
        {"332 red and blue", k332, {0xE3}, 0xFF00FF},
        {"332 one bit of blue: 01 -> 01010101", k332, {0x01}, 0x000055},
        {"30-bit fields keep their top 8 bits", k30, {0xFF, 0x03, 0x00, 0x20}, 0x8000FF, {0xFF, 0x03, 0x20, 0x20}},
        {"blue-green-red masks", kBgr, {0x11, 0x22, 0x33, 0x00}, 0x112233},
        {"24-bit pixels, three bytes", Layout(24, 24, 0xFF0000, 0x00FF00, 0x0000FF), {0x33, 0x22, 0x11}, 0x112233},
        {"native words lose their top byte", kRgb, {0x33, 0x22, 0x11, 0xAB}, 0x112233, {0x33, 0x22, 0x11, 0x00}},
    };
    for (const PixelCase& c : cases) {
        std::optional<PixelFormat> format = PixelFormat::Of(c.layout);
        ASSERT_TRUE(format) << c.what;
        uint32_t word = 0;
        format->ToWords(c.bytes.data(), 1, 1, &word);
        EXPECT_EQ(word, c.word) << c.what;
        std::vector<uint8_t> back(format->RowBytes(1));
        format->FromWords(&word, 1, back.data());
        // Back again: the same bytes, but for bits no mask covers (0) and
        // fields wider than 8 bits (widened by repeating the 8).
        EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + long(c.bytes.size())),
                  c.back.empty() ? c.bytes : c.back)
            << c.what;
    }
}

TEST(PixelFormat, EveryPixelOfFewerBitsComesBackAndInvertsAsTheServerInverts) {
    for (const PixelLayout& layout : {k565, k555, k332}) {
        const PixelFormat format = *PixelFormat::Of(layout);
        const uint32_t all = (uint32_t{1} << layout.depth) - 1;
        for (uint32_t pixel = 0; pixel <= all; ++pixel) {
            uint8_t bytes[2] = {uint8_t(pixel), uint8_t(pixel >> 8)};
            uint32_t got = 0, inverted = 0;
            format.ToWords(bytes, 1, 1, &got);
            ASSERT_EQ(format.PixelOf(got), pixel) << layout.depth << " " << pixel;
            const uint32_t flipped = ~pixel & all;
            uint8_t flippedBytes[2] = {uint8_t(flipped), uint8_t(flipped >> 8)};
            format.ToWords(flippedBytes, 1, 1, &inverted);
            ASSERT_EQ(inverted, ~got & 0xFFFFFFu) << layout.depth << " " << pixel;
        }
    }
}

TEST(PixelFormat, RowsArePaddedAndOnlyTheNativeLayoutIsTakenAsItIs) {
    const PixelFormat format = *PixelFormat::Of(k565);
    EXPECT_EQ(format.RowBytes(3), 8u);  // 6 bytes padded to 32 bits
    const std::vector<uint8_t> rows = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xEE, 0xEE,
                                       0xFF, 0xFF, 0x00, 0x00, 0x10, 0x84, 0xEE, 0xEE};
    std::vector<uint32_t> words(6);
    format.ToWords(rows.data(), 3, 2, words.data());
    EXPECT_EQ(words, (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x848284}));
    EXPECT_FALSE(format.IsNative());
    EXPECT_TRUE(PixelFormat::Of(kRgb)->IsNative());
    EXPECT_FALSE(PixelFormat::Of(kBgr)->IsNative());
    EXPECT_FALSE(PixelFormat::Of(Layout(24, 32, 0xFF0000, 0x00FF00, 0x0000FF, true))->IsNative());
}

TEST(PixelFormat, ColourMapsAreReadAndWrittenByTheirEntries) {
    PixelLayout layout = Layout(8, 8, 0, 0, 0);
    PixelFormat format = *PixelFormat::Of(layout);
    EXPECT_TRUE(format.UsesColourMap());
    std::vector<uint32_t> colours(256, 0x000000);
    colours[1] = 0xFFFFFF;
    colours[2] = 0xC00000;
    colours[3] = 0x000001;  // nearly black, apart from entry 0
    format.SetColourMap(colours, true);
    const uint8_t pixels[] = {2, 1, 3};
    uint32_t words[3] = {};
    format.ToWords(pixels, 3, 1, words);
    EXPECT_EQ(words[0], 0xC00000u);
    EXPECT_EQ(words[2], 0x000001u);
    EXPECT_EQ(format.PixelOf(0xC00000), 2u);
    EXPECT_EQ(format.PixelOf(0x000001), 3u) << "an exact colour is its own entry";
    EXPECT_EQ(format.PixelOf(0xB01010), 2u) << "another colour is the nearest entry";
    EXPECT_EQ(format.PixelOf(0xF0F0F0), 1u);
}

TEST(PixelFormat, LayoutsItCannotConvertAreRefused) {
    EXPECT_FALSE(PixelFormat::Of(Layout(4, 4, 0x8, 0x4, 0x3)));              // 4 bits per pixel
    EXPECT_FALSE(PixelFormat::Of(Layout(16, 16, 0xF00F, 0x07E0, 0x0010)));   // a mask in two runs
    EXPECT_FALSE(PixelFormat::Of(Layout(16, 16, 0x1F0000, 0x07E0, 0x001F)));  // beyond the pixel
    EXPECT_FALSE(PixelFormat::Of(Layout(16, 16, 0, 0x07E0, 0x001F)));        // one mask missing
    EXPECT_FALSE(PixelFormat::Of(Layout(12, 16, 0, 0, 0)));                  // a map of 4096 entries
}

}  // namespace
}  // namespace kwp::core
