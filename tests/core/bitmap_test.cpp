#include "core/bitmap.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>
#include <stdexcept>

namespace kwp::core {
namespace {

// Every pixel different, so a copy from the wrong place shows.
Bitmap Numbered(int width, int height, int bitsPerPixel = 32) {
    Bitmap b(width, height, bitsPerPixel);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) b.SetPixel(x, y, Rgb(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0x5A));
    return b;
}

TEST(BitmapTest, NewBitmapIsBlackAtItsSizeAndDepth) {
    const Bitmap b(3, 2, 24);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.BitsPerPixel(), 24);
    EXPECT_FALSE(b.Empty());
    EXPECT_EQ(b.Bounds(), (Rect{0, 0, 3, 2}));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(b.Pixel(x, y), 0u);
}

TEST(BitmapTest, NoWidthOrNoHeightHoldsNoPixels) {
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {0, 0}, {-3, 4}, {4, -3}}) {
        const Bitmap b(w, h);
        EXPECT_TRUE(b.Empty()) << w << "x" << h;
        EXPECT_EQ(b.Data(), nullptr) << w << "x" << h;
    }
    EXPECT_TRUE(Bitmap().Empty());
}

TEST(BitmapTest, OnlyTwentyFourAndThirtyTwoBitDepths) {
    EXPECT_THROW(Bitmap(2, 2, 8), std::invalid_argument);
    EXPECT_THROW(Bitmap(2, 2, 16), std::invalid_argument);
    EXPECT_NO_THROW(Bitmap(2, 2, 24));
    EXPECT_NO_THROW(Bitmap(2, 2, 32));
}

struct CropCase {
    const char* name;
    Rect from;
};

class BitmapCropTest : public testing::TestWithParam<CropCase> {};

// The crop is compared pixel by pixel with the source: inside it is a 1:1
// copy, outside the source it is black.
TEST_P(BitmapCropTest, CopiesOneToOneAndBlackOutside) {
    const Bitmap source = Numbered(10, 8, 24);
    const Rect from = GetParam().from;
    const Bitmap crop = source.Crop(from);
    ASSERT_EQ(crop.Width(), from.Width());
    ASSERT_EQ(crop.Height(), from.Height());
    EXPECT_EQ(crop.BitsPerPixel(), 24);
    for (int y = 0; y < crop.Height(); ++y) {
        for (int x = 0; x < crop.Width(); ++x) {
            const int sx = from.left + x, sy = from.top + y;
            const bool inside = sx >= 0 && sx < 10 && sy >= 0 && sy < 8;
            EXPECT_EQ(crop.Pixel(x, y), inside ? source.Pixel(sx, sy) : 0u) << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rects, BitmapCropTest,
                         testing::Values(CropCase{"Whole", {0, 0, 10, 8}}, CropCase{"Inside", {2, 3, 7, 5}},
                                         CropCase{"OnePixel", {9, 7, 10, 8}}, CropCase{"OneColumn", {4, 0, 5, 8}},
                                         CropCase{"OverLeftTop", {-3, -2, 4, 3}},
                                         CropCase{"OverRightBottom", {6, 5, 14, 12}},
                                         CropCase{"AroundAll", {-2, -2, 12, 10}},
                                         CropCase{"FullyOutside", {20, 20, 24, 23}},
                                         CropCase{"FullyLeft", {-5, 0, -1, 3}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BitmapTest, EmptyCropIsAnEmptyBitmapOfTheSameDepth) {
    const Bitmap source = Numbered(4, 4, 24);
    for (const Rect from : {Rect{2, 2, 2, 3}, Rect{2, 2, 3, 2}, Rect{3, 3, 1, 1}}) {
        const Bitmap crop = source.Crop(from);
        EXPECT_TRUE(crop.Empty());
        EXPECT_EQ(crop.BitsPerPixel(), 24);
    }
    EXPECT_TRUE(Bitmap().Crop({0, 0, 0, 0}).Empty());
}

TEST(BitmapTest, CropOfAnEmptyBitmapIsBlack) {
    const Bitmap crop = Bitmap().Crop({0, 0, 2, 2});
    EXPECT_EQ(crop, Bitmap(2, 2));
}

TEST(BitmapTest, CropSpanningTheIntRangeIsRefusedNotWrapped) {
    const Bitmap source = Numbered(4, 4);
    EXPECT_THROW(source.Crop({INT_MIN, 0, INT_MAX, 1}), std::length_error);
    EXPECT_THROW(source.Crop({0, INT_MIN, 1, INT_MAX}), std::length_error);
}

// Memory lent by a screen grab: the bitmap writes into it, keeps it until the
// last bitmap holding it lets go, and never hands its top bytes on.
TEST(BitmapTest, LentPixelsStayWithTheBitmapAndTheirTopByteIsIgnored) {
    std::vector<uint32_t> memory = {0xAA112233u, 0xFF445566u, 0x00778899u, 0x12ABCDEFu};
    bool released = false;
    std::shared_ptr<void> lender(&memory, [&](void*) { released = true; });
    Bitmap lent = Bitmap::Over(2, 2, 24, memory.data(), std::move(lender));
    ASSERT_EQ(lent.Data(), memory.data());
    EXPECT_NE(lent.Lender(), nullptr);
    EXPECT_EQ(lent.Pixel(0, 0), 0x112233u);

    Bitmap colours(2, 2, 24);
    colours.SetPixel(0, 0, 0x112233u);
    colours.SetPixel(1, 0, 0x445566u);
    colours.SetPixel(0, 1, 0x778899u);
    colours.SetPixel(1, 1, 0xABCDEFu);
    EXPECT_EQ(lent, colours);

    const Bitmap copy = lent;
    EXPECT_NE(copy.Data(), memory.data());
    EXPECT_EQ(copy.Lender(), nullptr);
    EXPECT_EQ(copy.Data()[1], 0x445566u);
    EXPECT_EQ(lent.Crop({1, 0, 2, 2}).Data()[1], 0xABCDEFu);

    lent.SetPixel(1, 1, 0x010203u);
    EXPECT_EQ(memory[3], 0x010203u);
    EXPECT_NE(lent, colours);

    Bitmap moved = std::move(lent);
    EXPECT_EQ(moved.Data(), memory.data());
    EXPECT_FALSE(released);
    moved = Bitmap(1, 1);
    EXPECT_TRUE(released);
}


// Cropping in place gives what Crop gives; inside the bitmap it keeps the
// memory (own or lent) and drops the top bytes of lent words.
TEST(BitmapTest, CropInPlaceMatchesCropAndKeepsItsMemoryInside) {
    struct Case {
        Rect from;
        bool inPlace;
    };
    const Case cases[] = {
        {{0, 0, 5, 4}, true},   {{0, 0, 4, 3}, true},    {{1, 1, 5, 4}, true},  {{2, 0, 3, 4}, true},
        {{0, 3, 5, 4}, true},   {{1, 2, 2, 3}, true},    {{-1, 0, 3, 2}, false}, {{3, 2, 7, 6}, false},
        {{0, -2, 5, 2}, false}, {{2, 2, 2, 3}, false},
    };
    for (const Case& c : cases) {
        Bitmap own = Numbered(5, 4);
        const uint32_t* memory = own.Data();
        own.CropInPlace(c.from);
        EXPECT_EQ(own, Numbered(5, 4).Crop(c.from)) << c.from.left << "," << c.from.top;
        if (!own.Empty()) {
            EXPECT_EQ(own.Data() == memory, c.inPlace) << c.from.left << "," << c.from.top;
        }

        std::vector<uint32_t> words(20);
        for (size_t i = 0; i < words.size(); ++i) words[i] = 0xAB000000u | Numbered(5, 4).Data()[i];
        Bitmap lent = Bitmap::Over(5, 4, 32, words.data(), std::make_shared<int>(0));
        lent.CropInPlace(c.from);
        EXPECT_EQ(lent, Numbered(5, 4).Crop(c.from));
        if (c.inPlace) {
            EXPECT_EQ(lent.Data(), words.data());
            EXPECT_NE(lent.Lender(), nullptr);
            EXPECT_EQ(words[0] >> 24, 0u);
        }
    }
}

}  // namespace
}  // namespace kwp::core
