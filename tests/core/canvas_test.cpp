#include "core/canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace kwp::core {
namespace {

using Points = std::set<std::pair<int, int>>;

// A picture where every pixel differs from its neighbours and from its inverse.
Bitmap Pattern(int width, int height) {
    Bitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.SetPixel(x, y, Rgb(static_cast<uint8_t>(x * 7 + 1), static_cast<uint8_t>(y * 13 + 2), static_cast<uint8_t>(x ^ y)));
    return b;
}

// The pixels in which two pictures differ; with the inverting pen that is
// exactly the set of pixels marked an odd number of times.
Points Changed(const Bitmap& before, const Bitmap& after) {
    Points out;
    for (int y = 0; y < before.Height(); ++y)
        for (int x = 0; x < before.Width(); ++x)
            if (before.Pixel(x, y) != after.Pixel(x, y)) out.insert({x, y});
    return out;
}

// Checks that every changed pixel holds the inverse of the original.
void ExpectInverted(const Bitmap& before, const Bitmap& after, const Points& points) {
    for (auto [x, y] : points) EXPECT_EQ(after.Pixel(x, y), ~before.Pixel(x, y) & 0xFFFFFFu) << x << "," << y;
}

Points InvertedByLine(Bitmap& b, int x0, int y0, int x1, int y1) {
    const Bitmap before = b;
    Canvas c(b);
    c.SetPenMode(PenMode::Not);
    c.MoveTo(x0, y0);
    c.LineTo(x1, y1);
    const Points changed = Changed(before, b);
    ExpectInverted(before, b, changed);
    return changed;
}

Points InvertedByRectangle(Bitmap& b, int x1, int y1, int x2, int y2) {
    const Bitmap before = b;
    Canvas c(b);
    c.SetPenMode(PenMode::Not);
    c.Rectangle(x1, y1, x2, y2);
    const Points changed = Changed(before, b);
    ExpectInverted(before, b, changed);
    return changed;
}

Points Row(int y, int x0, int x1) {
    Points p;
    for (int x = x0; x < x1; ++x) p.insert({x, y});
    return p;
}
Points Column(int x, int y0, int y1) {
    Points p;
    for (int y = y0; y < y1; ++y) p.insert({x, y});
    return p;
}

struct LineCase {
    const char* name;
    int x0, y0, x1, y1;
    Points expected;  // on a 12 x 8 picture
};

class CanvasLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(CanvasLineTest, MarksFromStartUpToButNotIncludingTheEnd) {
    const LineCase& c = GetParam();
    Bitmap b = Pattern(12, 8);
    EXPECT_EQ(InvertedByLine(b, c.x0, c.y0, c.x1, c.y1), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CanvasLineTest,
    testing::Values(LineCase{"Right", 1, 2, 5, 2, Row(2, 1, 5)}, LineCase{"Left", 5, 2, 1, 2, Row(2, 2, 6)},
                    LineCase{"Down", 3, 1, 3, 6, Column(3, 1, 6)}, LineCase{"Up", 3, 6, 3, 1, Column(3, 2, 7)},
                    LineCase{"NoLength", 4, 4, 4, 4, {}}, LineCase{"OnePixel", 4, 4, 5, 4, {{4, 4}}},
                    LineCase{"FullRowPastBothEdges", -3, 7, 20, 7, Row(7, 0, 12)},
                    LineCase{"FullRowFromZeroToWidth", 0, 0, 12, 0, Row(0, 0, 12)},
                    LineCase{"FullColumnFromZeroToHeight", 11, 0, 11, 8, Column(11, 0, 8)},
                    LineCase{"LeftwardFromOutside", 30, 5, 8, 5, Row(5, 9, 12)},
                    LineCase{"UpwardFromOutside", 2, 30, 2, 3, Column(2, 4, 8)},
                    LineCase{"RowAbove", 0, -1, 12, -1, {}}, LineCase{"RowBelow", 0, 8, 12, 8, {}},
                    LineCase{"ColumnLeft", -1, 0, -1, 8, {}}, LineCase{"ColumnRight", 12, 0, 12, 8, {}},
                    LineCase{"EndingAtTheLeftEdge", 5, 3, 0, 3, Row(3, 1, 6)},
                    LineCase{"WholeIntRangeRow", INT_MIN, 1, INT_MAX, 1, Row(1, 0, 12)},
                    LineCase{"WholeIntRangeRowBackwards", INT_MAX, 1, INT_MIN, 1, Row(1, 0, 12)},
                    LineCase{"WholeIntRangeColumn", 6, INT_MAX, 6, INT_MIN, Column(6, 0, 8)}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    SlantedExact, CanvasLineTest,
    testing::Values(LineCase{"Diagonal", 0, 0, 4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
                    LineCase{"AntiDiagonal", 5, 0, 1, 4, {{5, 0}, {4, 1}, {3, 2}, {2, 3}}},
                    LineCase{"ShallowThird", 0, 0, 3, 1, {{0, 0}, {1, 0}, {2, 1}}},
                    LineCase{"SteepThird", 0, 0, 1, 3, {{0, 0}, {0, 1}, {1, 2}}},
                    // The whole int range: exactly the diagonal through the origin.
                    LineCase{"HugeDiagonal", INT_MIN, INT_MIN, INT_MAX, INT_MAX,
                             {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}}},
                    // Rising by one row over the int range: the step lies at x = 0,
                    // so all that shows is the higher row.
                    LineCase{"HugeShallow", INT_MIN, 5, INT_MAX, 6, Row(6, 0, 12)},
                    LineCase{"HugeShallowBackwards", INT_MAX, 6, INT_MIN, 5, Row(6, 0, 12)},
                    LineCase{"HugeSteep", 0, INT_MIN, 1, INT_MAX, Column(1, 0, 8)},
                    LineCase{"HugeOutside", INT_MIN, INT_MIN, INT_MAX, INT_MIN + 1, {}},
                    LineCase{"HugeSteepMissing", INT_MAX, INT_MIN, INT_MAX - 1, INT_MAX, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Lines inside the picture: one pixel per step of the longer axis, start
// included and end excluded, each step moving to a neighbour, each pixel
// within half a pixel of the ideal line.
TEST(CanvasTest, SlantedLinesFollowTheIdealLine) {
    const int ends[][4] = {{0, 0, 17, 5}, {17, 5, 0, 0}, {2, 19, 9, 0}, {9, 0, 2, 19}, {0, 10, 19, 11},
                           {19, 0, 0, 19}, {3, 4, 15, 16}, {1, 1, 2, 18}, {18, 2, 1, 1}, {0, 6, 10, 0}};
    for (const auto& e : ends) {
        SCOPED_TRACE(testing::Message() << e[0] << "," << e[1] << " -> " << e[2] << "," << e[3]);
        Bitmap b = Pattern(20, 20);
        const Points got = InvertedByLine(b, e[0], e[1], e[2], e[3]);
        const int dx = e[2] - e[0], dy = e[3] - e[1];
        const bool alongX = std::abs(dx) >= std::abs(dy);
        EXPECT_EQ(static_cast<int>(got.size()), std::max(std::abs(dx), std::abs(dy)));
        EXPECT_TRUE(got.count({e[0], e[1]}));
        EXPECT_FALSE(got.count({e[2], e[3]}));
        std::set<int> majors;
        for (auto [x, y] : got) {
            // Distance along the minor axis from the ideal line.
            const double off = alongX ? y - (e[1] + double(dy) * (x - e[0]) / dx)
                                      : x - (e[0] + double(dx) * (y - e[1]) / dy);
            EXPECT_LE(std::abs(off), 0.5) << x << "," << y;
            majors.insert(alongX ? x : y);
        }
        EXPECT_EQ(majors.size(), got.size()) << "one pixel per step";
    }
}

// A line clipped at the picture's edges marks exactly the pixels that the
// same line marks inside a larger picture: clipping never moves a pixel.
TEST(CanvasTest, ClippingKeepsThePixelsOfTheUnclippedLine) {
    constexpr int kW = 16, kH = 12, kMargin = 64;
    const int xs[] = {-60, -17, -1, 0, 5, 15, 16, 23, 75};
    const int ys[] = {-50, -3, -1, 0, 7, 11, 12, 61};
    for (int x0 : xs)
        for (int y0 : ys)
            for (int x1 : xs)
                for (int y1 : ys) {
                    Bitmap small(kW, kH), large(kW + 2 * kMargin, kH + 2 * kMargin);
                    Canvas cs(small), cl(large);
                    cs.SetPenMode(PenMode::Not);
                    cl.SetPenMode(PenMode::Not);
                    cs.MoveTo(x0, y0);
                    cs.LineTo(x1, y1);
                    cl.MoveTo(x0 + kMargin, y0 + kMargin);
                    cl.LineTo(x1 + kMargin, y1 + kMargin);
                    ASSERT_EQ(small, large.Crop({kMargin, kMargin, kMargin + kW, kMargin + kH}))
                        << x0 << "," << y0 << " -> " << x1 << "," << y1;
                }
}

struct BoxCase {
    const char* name;
    int left, top, right, bottom;  // normalised corners
};

// The outline of columns left..right-1, rows top..bottom-1, clipped to the picture.
Points Outline(const BoxCase& c, int width, int height) {
    Points p;
    for (int y = std::max(c.top, 0); y < std::min(c.bottom, height); ++y)
        for (int x = std::max(c.left, 0); x < std::min(c.right, width); ++x)
            if (x == c.left || x == c.right - 1 || y == c.top || y == c.bottom - 1) p.insert({x, y});
    return p;
}

class CanvasRectangleTest : public testing::TestWithParam<BoxCase> {};

// Every pixel of the outline is inverted exactly once (a pixel marked twice
// would show unchanged), whichever order the corners come in.
TEST_P(CanvasRectangleTest, MarksTheOutlineOnceInAnyCornerOrder) {
    const BoxCase& c = GetParam();
    const Points expected = Outline(c, 12, 9);
    const int corners[][4] = {{c.left, c.top, c.right, c.bottom},
                              {c.right, c.bottom, c.left, c.top},
                              {c.right, c.top, c.left, c.bottom},
                              {c.left, c.bottom, c.right, c.top}};
    for (const auto& k : corners) {
        Bitmap b = Pattern(12, 9);
        EXPECT_EQ(InvertedByRectangle(b, k[0], k[1], k[2], k[3]), expected)
            << k[0] << "," << k[1] << "," << k[2] << "," << k[3];
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, CanvasRectangleTest,
                         testing::Values(BoxCase{"Box", 2, 1, 8, 6}, BoxCase{"OnePixel", 3, 3, 4, 4},
                                         BoxCase{"OneWide", 3, 1, 4, 7}, BoxCase{"OneHigh", 1, 5, 9, 6},
                                         BoxCase{"TwoByTwo", 4, 4, 6, 6}, BoxCase{"TwoWide", 4, 0, 6, 9},
                                         BoxCase{"EqualCorners", 5, 5, 5, 5}, BoxCase{"NoWidth", 5, 1, 5, 8},
                                         BoxCase{"NoHeight", 1, 4, 9, 4}, BoxCase{"Picture", 0, 0, 12, 9},
                                         BoxCase{"OverTopLeft", -3, -2, 5, 4}, BoxCase{"OverBottomRight", 7, 6, 20, 15},
                                         BoxCase{"Around", -1, -1, 13, 10}, BoxCase{"Outside", 14, 2, 18, 6},
                                         BoxCase{"HugeAround", INT_MIN, INT_MIN, INT_MAX, INT_MAX},
                                         BoxCase{"HugeRows", INT_MIN, 1, INT_MAX, 4},
                                         BoxCase{"HugeColumns", 2, INT_MIN, 5, INT_MAX},
                                         BoxCase{"HugeOneHigh", INT_MIN, 8, INT_MAX, 9}),
                         [](const auto& info) { return std::string(info.param.name); });

// Drawing the overlay's figures a second time gives back the picture.
TEST(CanvasTest, DrawingFiguresTwiceRestoresThePicture) {
    const Bitmap original = Pattern(40, 30);
    Bitmap b = original;
    Canvas c(b);
    c.SetPenMode(PenMode::Not);
    auto figures = [&] {
        c.Rectangle(5, 6, 30, 20);
        c.Rectangle(39, 29, 0, 0);
        c.Rectangle(-5, -5, 50, 50);
        c.MoveTo(7, 0);
        c.LineTo(7, 30);
        c.MoveTo(0, 9);
        c.LineTo(40, 9);
        c.MoveTo(-20, 40);
        c.LineTo(60, -3);
        c.MoveTo(INT_MIN, 5);
        c.LineTo(INT_MAX, 30);
    };
    figures();
    EXPECT_NE(b, original);
    figures();
    EXPECT_EQ(b, original);
}

void Crosshair(Canvas& c, int x, int y, int width, int height) {
    c.MoveTo(x, 0);
    c.LineTo(x, height);
    c.MoveTo(0, y);
    c.LineTo(width, y);
}

TEST(CanvasTest, CrosshairInvertsItsColumnAndRowButNotTheCrossing) {
    const Bitmap original = Pattern(20, 10);
    Bitmap b = original;
    Canvas c(b);
    c.SetPenMode(PenMode::Not);
    Crosshair(c, 6, 3, 20, 10);
    Points expected = Row(3, 0, 20);
    for (auto p : Column(6, 0, 10)) expected.insert(p);
    expected.erase({6, 3});
    EXPECT_EQ(Changed(original, b), expected);
    EXPECT_EQ(b.Pixel(6, 3), original.Pixel(6, 3));
    ExpectInverted(original, b, expected);
}

TEST(CanvasTest, CrosshairAtMinusOneChangesNothing) {
    const Bitmap original = Pattern(20, 10);
    Bitmap b = original;
    Canvas c(b);
    c.SetPenMode(PenMode::Not);
    Crosshair(c, -1, -1, 20, 10);
    EXPECT_EQ(b, original);
    EXPECT_TRUE(c.TakeDirty().empty());
}

TEST(CanvasTest, CopyModePaintsThePenColour) {
    Bitmap b = Pattern(10, 10);
    Canvas c(b);
    c.SetPenMode(PenMode::Copy);
    c.SetPenColor(0xFF123456);  // the unused top byte stays clear in the picture
    c.MoveTo(1, 1);
    c.LineTo(1, 5);
    c.Rectangle(3, 3, 6, 7);
    c.MoveTo(0, 9);
    c.LineTo(3, 6);
    for (auto [x, y] : {std::pair{1, 1}, {1, 4}, {3, 3}, {5, 6}, {3, 6}, {0, 9}, {2, 7}}) EXPECT_EQ(b.Pixel(x, y), 0x123456u) << x << "," << y;
    EXPECT_NE(b.Pixel(4, 4), 0x123456u);  // inside of the box
    EXPECT_NE(b.Pixel(1, 5), 0x123456u);  // end of the line
}

Rect Around(const std::vector<Rect>& parts) {
    Rect all;
    for (const Rect& r : parts) all = all.Union(r);
    return all;
}

TEST(CanvasTest, DirtyAreaCoversWhatChangedUntilTaken) {
    Bitmap b(20, 10);
    Canvas c(b);
    c.SetPenMode(PenMode::Not);
    EXPECT_TRUE(c.TakeDirty().empty());

    c.Rectangle(2, 3, 6, 8);
    EXPECT_EQ(Around(c.TakeDirty()), (Rect{2, 3, 6, 8}));
    EXPECT_TRUE(c.TakeDirty().empty());

    c.Rectangle(2, 3, 6, 8);
    c.MoveTo(15, 1);
    c.LineTo(18, 1);
    EXPECT_EQ(Around(c.TakeDirty()), (Rect{2, 1, 18, 8}));

    c.MoveTo(-10, 14);  // slanted, partly outside
    c.LineTo(10, -6);
    EXPECT_EQ(Around(c.TakeDirty()), (Rect{0, 0, 5, 5}));

    c.Rectangle(-5, -5, 30, 30);  // entirely outside
    c.MoveTo(0, 0);
    c.LineTo(0, 0);
    EXPECT_TRUE(c.TakeDirty().empty());
}

TEST(CanvasTest, DirtyPartsAreThinWhereTheFiguresAre) {
    Bitmap b(200, 100);
    Canvas c(b);
    c.SetPenMode(PenMode::Not);
    // A crosshair moved: two columns and two rows, not the whole picture.
    Crosshair(c, 4, 5, 200, 100);
    Crosshair(c, 40, 50, 200, 100);
    std::vector<Rect> parts = c.TakeDirty();
    std::sort(parts.begin(), parts.end(), [](const Rect& a, const Rect& b) {
        return std::tie(a.left, a.top) < std::tie(b.left, b.top);
    });
    EXPECT_EQ(parts, (std::vector<Rect>{{0, 5, 200, 6}, {0, 50, 200, 51}, {4, 0, 5, 100}, {40, 0, 41, 100}}));

    // An outline: its four edges, the inside left out.
    c.Rectangle(10, 10, 110, 60);
    int area = 0;
    for (const Rect& r : c.TakeDirty()) area += r.Width() * r.Height();
    EXPECT_EQ(area, 2 * 100 + 2 * (50 - 2));  // the side edges stop short of the corners

    // The same line twice is one part.
    c.MoveTo(0, 7);
    c.LineTo(20, 7);
    c.MoveTo(0, 7);
    c.LineTo(20, 7);
    EXPECT_EQ(c.TakeDirty().size(), 1u);
}

}  // namespace
}  // namespace kwp::core
