#include "core/bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <initializer_list>
#include <string>

#include "core/error.h"

namespace kwp::core {
namespace {

Bitmap Numbered(int width, int height, int bitsPerPixel) {
    Bitmap b(width, height, bitsPerPixel);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.SetPixel(x, y, Rgb(static_cast<uint8_t>(0x10 + x), static_cast<uint8_t>(0x80 + y), static_cast<uint8_t>(x * 31 + y)));
    return b;
}

uint32_t Get32(const Bytes& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}
uint16_t Get16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Exactly as many bytes as the text gives, so the sanitizer sees a read past them.
Bytes FromHex(std::string_view hex) {
    Bytes bytes(hex.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(std::stoi(std::string(hex.substr(2 * i, 2)), nullptr, 16));
    return bytes;
}

// The pieces one after the other.
Bytes Joined(std::initializer_list<Bytes> pieces) {
    Bytes out;
    size_t size = 0;
    for (const Bytes& piece : pieces) size += piece.size();
    out.reserve(size);
    for (const Bytes& piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

void ExpectNotValid(const Bytes& bytes) {
    try {
        DecodeBmp(bytes);
        ADD_FAILURE() << "decoded without an error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Bitmap image is not valid");
    }
}

TEST(BmpTest, EncodesTheWholeFileByteForByte) {
    // 3 x 2 at 24 bits: 9 bytes of pixels and 3 of padding per row, bottom row first.
    Bitmap b(3, 2, 24);
    b.SetPixel(0, 0, 0x112233);
    b.SetPixel(1, 0, 0x445566);
    b.SetPixel(2, 0, 0x778899);
    b.SetPixel(0, 1, 0xAABBCC);
    b.SetPixel(1, 1, 0xDDEEFF);
    b.SetPixel(2, 1, 0x010203);
    const Bytes expected = {
        'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                     // file header
        40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,         // size, width, height, planes, bpp, BI_RGB
        24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,          // image size, resolutions, colours
        0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0x03, 0x02, 0x01, 0, 0, 0,        // bottom row
        0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0x99, 0x88, 0x77, 0, 0, 0,        // top row
    };
    EXPECT_EQ(EncodeBmp(b), expected);
}

TEST(BmpTest, ThirtyTwoBitRowsAreBlueGreenRedZero) {
    Bitmap b(2, 1, 32);
    b.SetPixel(0, 0, 0x123456);
    b.SetPixel(1, 0, 0xFF0080);
    const Bytes out = EncodeBmp(b);
    ASSERT_EQ(out.size(), 54u + 8);
    EXPECT_EQ(Get16(out, 28), 32);
    EXPECT_EQ(Bytes(out.begin() + 54, out.end()), (Bytes{0x56, 0x34, 0x12, 0, 0x80, 0x00, 0xFF, 0}));
}

struct SizeCase {
    int width, height, bitsPerPixel;
};

class BmpSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(BmpSizeTest, HeaderFitsTheSizeAndTheFileReadsBack) {
    const auto [w, h, bpp] = GetParam();
    const Bitmap b = Numbered(w, h, bpp);
    const Bytes out = EncodeBmp(b);
    const uint32_t rowBytes = (static_cast<uint32_t>(w) * bpp / 8 + 3) / 4 * 4;
    ASSERT_EQ(out.size(), 54 + rowBytes * h);
    EXPECT_EQ(Get32(out, 2), out.size());
    EXPECT_EQ(Get32(out, 6), 0u);
    EXPECT_EQ(Get32(out, 10), 54u);
    EXPECT_EQ(Get32(out, 14), 40u);
    EXPECT_EQ(static_cast<int32_t>(Get32(out, 18)), w);
    EXPECT_EQ(static_cast<int32_t>(Get32(out, 22)), h);
    EXPECT_EQ(Get16(out, 26), 1);
    EXPECT_EQ(Get16(out, 28), bpp);
    EXPECT_EQ(Get32(out, 30), 0u);
    EXPECT_EQ(Get32(out, 34), rowBytes * h);
    for (size_t at = 38; at < 54; at += 4) EXPECT_EQ(Get32(out, at), 0u) << at;

    const Bitmap back = DecodeBmp(out);
    EXPECT_EQ(back.BitsPerPixel(), bpp);
    EXPECT_EQ(back, b);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BmpSizeTest,
                         testing::Values(SizeCase{1, 1, 24}, SizeCase{2, 3, 24}, SizeCase{3, 2, 24}, SizeCase{4, 1, 24},
                                         SizeCase{5, 4, 24}, SizeCase{1, 7, 24}, SizeCase{13, 1, 24}, SizeCase{1, 1, 32},
                                         SizeCase{3, 5, 32}, SizeCase{17, 9, 32}));

TEST(BmpTest, EmptyBitmapIsNoBytesAndNoBytesIsEmpty) {
    EXPECT_TRUE(EncodeBmp(Bitmap()).empty());
    EXPECT_TRUE(EncodeBmp(Bitmap(0, 5, 24)).empty());
    EXPECT_TRUE(EncodeBmp(Bitmap(5, 0)).empty());
    EXPECT_TRUE(DecodeBmp({}).Empty());
}

TEST(BmpTest, NegativeHeightMeansTopDownRows) {
    const Bitmap b = Numbered(3, 4, 24);
    Bytes file = EncodeBmp(b);
    // Store the rows top row first and say so with a negative height.
    const size_t rowBytes = 12;
    Bytes flipped(file.begin(), file.begin() + 54);
    for (int i = 3; i >= 0; --i) flipped.insert(flipped.end(), file.begin() + 54 + i * rowBytes, file.begin() + 54 + (i + 1) * rowBytes);
    Put32(flipped, 22, static_cast<uint32_t>(-4));
    EXPECT_EQ(DecodeBmp(flipped), b);
}

TEST(BmpTest, ThirtyTwoBitReadIgnoresTheFourthByte) {
    Bytes file = EncodeBmp(Numbered(2, 2, 32));
    for (size_t at = 54 + 3; at < file.size(); at += 4) file[at] = 0xFF;
    EXPECT_EQ(DecodeBmp(file), Numbered(2, 2, 32));
}

TEST(BmpTest, ReadsStandardMasksAfterAPlainOrALongerHeader) {
    const Bitmap b = Numbered(3, 2, 32);
    const Bytes plain = EncodeBmp(b);
    const Bytes masks = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};

    const Bytes headers(plain.begin(), plain.begin() + 54), pixels(plain.begin() + 54, plain.end());

    Bytes withMasks = Joined({headers, masks, pixels});
    Put32(withMasks, 2, static_cast<uint32_t>(withMasks.size()));
    Put32(withMasks, 10, 66);
    Put32(withMasks, 30, 3);  // BI_BITFIELDS
    EXPECT_EQ(DecodeBmp(withMasks), b);

    // A 124-byte header holds the masks at the same place.
    Bytes v5 = Joined({headers, masks, Bytes(14 + 124 - 54 - masks.size(), 0), pixels});
    Put32(v5, 2, static_cast<uint32_t>(v5.size()));
    Put32(v5, 10, 14 + 124);
    Put32(v5, 14, 124);
    Put32(v5, 30, 3);
    EXPECT_EQ(DecodeBmp(v5), b);

    Bytes otherMasks = withMasks;  // 5-6-5 style masks are not read
    Put32(otherMasks, 54, 0xF800);
    ExpectNotValid(otherMasks);
}

struct BrokenCase {
    const char* name;
    std::function<void(Bytes&)> breakIt;
};

class BmpBrokenTest : public testing::TestWithParam<BrokenCase> {};

// Every damaged file is refused with the one error, without a crash and
// without allocating for sizes that the data does not back.
TEST_P(BmpBrokenTest, IsNotValid) {
    Bytes file = EncodeBmp(Numbered(5, 3, 24));
    GetParam().breakIt(file);
    ExpectNotValid(file);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BmpBrokenTest,
    testing::Values(
        BrokenCase{"OneByte", [](Bytes& b) { b.resize(1); }},
        BrokenCase{"NotBM", [](Bytes& b) { b[1] = 'A'; }},
        BrokenCase{"Lowercase", [](Bytes& b) { b[0] = 'b'; b[1] = 'm'; }},
        BrokenCase{"JustTheSignature", [](Bytes& b) { b.resize(2); }},
        BrokenCase{"HeaderCutShort", [](Bytes& b) { b.resize(53); }},
        BrokenCase{"LastPixelByteMissing", [](Bytes& b) { b.pop_back(); Put32(b, 2, static_cast<uint32_t>(b.size())); }},
        BrokenCase{"FileSizePastTheData", [](Bytes& b) { Put32(b, 2, static_cast<uint32_t>(b.size() + 1)); }},
        BrokenCase{"OffsetPastTheData", [](Bytes& b) { Put32(b, 10, static_cast<uint32_t>(b.size() + 1)); }},
        BrokenCase{"OffsetHuge", [](Bytes& b) { Put32(b, 10, 0xFFFFFFF0u); }},
        BrokenCase{"OffsetIntoTheHeader", [](Bytes& b) { Put32(b, 10, 20); }},
        BrokenCase{"OffsetLeavesTooFewRows", [](Bytes& b) { Put32(b, 10, 58); }},
        BrokenCase{"CoreHeader", [](Bytes& b) { Put32(b, 14, 12); }},
        BrokenCase{"HeaderSizePastTheData", [](Bytes& b) { Put32(b, 14, 0x7FFFFFFF); }},
        BrokenCase{"NoWidth", [](Bytes& b) { Put32(b, 18, 0); }},
        BrokenCase{"NegativeWidth", [](Bytes& b) { Put32(b, 18, static_cast<uint32_t>(-5)); }},
        BrokenCase{"NoHeight", [](Bytes& b) { Put32(b, 22, 0); }},
        BrokenCase{"LowestHeight", [](Bytes& b) { Put32(b, 22, 0x80000000u); }},
        BrokenCase{"HugeSize", [](Bytes& b) { Put32(b, 18, 0x7FFFFFFF); Put32(b, 22, 0x7FFFFFFF); }},
        BrokenCase{"HugeTopDownSize", [](Bytes& b) { Put32(b, 18, 0x7FFFFFFF); Put32(b, 22, 0x80000001u); }},
        BrokenCase{"WideRowsOverflowing", [](Bytes& b) { Put32(b, 18, 0x40000001); Put32(b, 22, 8); }},
        BrokenCase{"TallerThanTheData", [](Bytes& b) { Put32(b, 22, 4); }},
        BrokenCase{"TwoPlanes", [](Bytes& b) { Put16(b, 26, 2); }},
        BrokenCase{"EightBits", [](Bytes& b) { Put16(b, 28, 8); }},
        BrokenCase{"SixteenBits", [](Bytes& b) { Put16(b, 28, 16); }},
        BrokenCase{"ZeroBits", [](Bytes& b) { Put16(b, 28, 0); }},
        BrokenCase{"RunLength", [](Bytes& b) { Put32(b, 30, 1); }},
        BrokenCase{"Jpeg", [](Bytes& b) { Put32(b, 30, 4); }},
        BrokenCase{"BitfieldsAt24Bits", [](Bytes& b) { Put32(b, 30, 3); }},
        BrokenCase{"ImageSizePastTheData", [](Bytes& b) { Put32(b, 34, 0xFFFFFF00u); }},
        // Found by fuzzing: a 41-byte header with BI_BITFIELDS, whose masks
        // would lie past the end of the data.
        BrokenCase{"MasksPastTheEnd", [](Bytes& b) {
            b = FromHex("424d3700000000000000370000002900000001000000010000000100200003000000000000000000000000000000000000000000000000");
        }},
        BrokenCase{"MasksCutByAShortHeader", [](Bytes& b) {
            b = EncodeBmp(Numbered(2, 2, 32));
            b.insert(b.begin() + 54, 12, 0);
            Put32(b, 2, static_cast<uint32_t>(b.size()));
            Put32(b, 10, 66);
            Put32(b, 14, 51);  // the masks would end at byte 66, the header at 65
            Put32(b, 30, 3);
            Put32(b, 54, 0x00FF0000u);
            Put32(b, 58, 0x0000FF00u);
            Put32(b, 62, 0x000000FFu);
        }}),
    [](const auto& info) { return std::string(info.param.name); });

// A file source over bytes that can be cut short after the headers were read
// and that counts the bytes it hands out.
class TestSource final : public FileSource {
public:
    explicit TestSource(Bytes bytes) : bytes_(std::move(bytes)) {}
    uint64_t Size() const override { return size_; }
    void ReadAt(uint64_t offset, void* data, size_t size) override {
        if (offset + size > bytes_.size()) throw Error(std::string(kBitmapNotValid));
        std::copy(bytes_.begin() + static_cast<long>(offset), bytes_.begin() + static_cast<long>(offset + size),
                  static_cast<uint8_t*>(data));
        read += size;
    }
    Bytes bytes_;
    uint64_t size_ = bytes_.size();
    uint64_t read = 0;
};

// The reader hands the rows on top row first whichever way the file stores
// them, as they lie in the file (blue, green, red), reading each byte once.
TEST(BmpTest, ReaderStreamsRowsTopFirst) {
    for (const int bpp : {24, 32}) {
        for (const bool topDown : {false, true}) {
            // Tall enough that the rows come in several reads.
            const Bitmap b = Numbered(700, 150, bpp);
            Bytes file = EncodeBmp(b);
            if (topDown) {
                const size_t rowBytes = (700 * bpp / 8 + 3) / 4 * 4;
                Bytes flipped(file.begin(), file.begin() + 54);
                for (int row = 149; row >= 0; --row)
                    flipped.insert(flipped.end(), file.begin() + 54 + static_cast<long>(row * rowBytes),
                                   file.begin() + 54 + static_cast<long>((row + 1) * rowBytes));
                Put32(flipped, 22, static_cast<uint32_t>(-150));
                file = flipped;
            }
            TestSource source(file);
            BmpReader reader(source);
            ASSERT_EQ(reader.Width(), 700);
            ASSERT_EQ(reader.Height(), 150);
            EXPECT_EQ(reader.Layout(), bpp == 24 ? RowLayout::Bgr : RowLayout::Bgrx);
            const uint8_t* rows[16];
            for (int y = 0; y < 150;) {
                const int got = reader.Rows(y, std::min(16, 150 - y), rows);
                ASSERT_GE(got, 1);
                for (int i = 0; i < got; ++i, ++y)
                    for (int x : {0, 1, 699}) {
                        const uint8_t* p = rows[i] + x * (bpp / 8);
                        ASSERT_EQ(Rgb(p[2], p[1], p[0]), b.Pixel(x, y)) << bpp << " " << topDown << " " << x << "," << y;
                    }
            }
            EXPECT_EQ(source.read, 150 + (file.size() - 54));  // the headers' first bytes, then every row once
        }
    }
}

// A file that became shorter after its headers were read, or that holds no
// bytes at all.
TEST(BmpTest, ReaderOfAShortenedOrEmptyFile) {
    TestSource source(EncodeBmp(Numbered(5, 3, 24)));
    BmpReader reader(source);
    source.bytes_.resize(60);
    const uint8_t* rows[3];
    EXPECT_THROW(reader.Rows(0, 3, rows), Error);

    TestSource empty(Bytes{});
    BmpReader nothing(empty);
    EXPECT_EQ(nothing.Width(), 0);
    EXPECT_EQ(nothing.Height(), 0);
}

// Written into a sink a few rows at a time; an error of the sink goes on as it came.
TEST(BmpTest, WriterHandsTheSinkItsErrors) {
    struct FailingSink : FileSink {
        size_t calls = 0;
        void Write(const void*, size_t) override {
            if (++calls == 2) throw Error("Cannot create file \"x\". No space left on device");
        }
    } sink;
    try {
        WriteBmp(Numbered(600, 400, 32), sink);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot create file \"x\". No space left on device");
    }
    EXPECT_EQ(sink.calls, 2u);
}

TEST(BmpTest, DecodedBitmapKeepsTheFilesDepth) {
    EXPECT_EQ(DecodeBmp(EncodeBmp(Numbered(2, 2, 24))).BitsPerPixel(), 24);
    EXPECT_EQ(DecodeBmp(EncodeBmp(Numbered(2, 2, 32))).BitsPerPixel(), 32);
}

}  // namespace
}  // namespace kwp::core
