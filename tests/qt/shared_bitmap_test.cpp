// Which bitmaps the overlay can show from shared memory on Wayland.
#include <gtest/gtest.h>

#include "wl_shared_bitmap.h"

namespace kwp::qt {
namespace {

TEST(SharedBitmapTest, OnlyTheSharedBitmapItselfIsShared) {
    core::Bitmap shared = NewSharedBitmap(64, 32, 24);
    const auto pixels = SharedPixelsOf(shared);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->bytes, 64u * 32u * 4u);
    EXPECT_EQ(shared.BitsPerPixel(), 24);
    shared.SetPixel(63, 31, core::Rgb(1, 2, 3));  // the memory is writable to its end
    EXPECT_EQ(shared.Pixel(63, 31), core::Rgb(1, 2, 3));

    const core::Bitmap copy = shared;  // a copy has memory of its own
    EXPECT_FALSE(SharedPixelsOf(copy));
    EXPECT_FALSE(SharedPixelsOf(shared.Crop({0, 0, 10, 10})));
    EXPECT_FALSE(SharedPixelsOf(core::Bitmap(64, 32)));

    const core::Bitmap moved = std::move(shared);  // a move takes the memory along
    ASSERT_TRUE(SharedPixelsOf(moved));
    EXPECT_EQ(SharedPixelsOf(moved)->serial, pixels->serial);
}

TEST(SharedBitmapTest, EveryAllocationIsTold) {
    auto first = std::make_unique<core::Bitmap>(NewSharedBitmap(8, 8, 32));
    const uint64_t serial = SharedPixelsOf(*first)->serial;
    first.reset();  // its descriptor may be given to the next one
    const core::Bitmap second = NewSharedBitmap(8, 8, 32);
    ASSERT_TRUE(SharedPixelsOf(second));
    EXPECT_NE(SharedPixelsOf(second)->serial, serial);
    EXPECT_FALSE(SharedPixelsOf(NewSharedBitmap(0, 8, 32)));
}

}  // namespace
}  // namespace kwp::qt
