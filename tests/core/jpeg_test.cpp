#include "core/jpeg.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "core/bmp.h"
#include "core/bytes_sink.h"
#include "core/error.h"

namespace kwp::core {
namespace {

namespace fs = std::filesystem;

// Gradients, hard edges and noise, so that every DCT path and Huffman code
// length gets used.
Bitmap TestPicture(int width, int height) {
    Bitmap b(width, height);
    uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            const uint8_t n = static_cast<uint8_t>(noise >> 24);
            const uint8_t r = static_cast<uint8_t>(x * 255 / std::max(width - 1, 1));
            const uint8_t g = static_cast<uint8_t>(y * 255 / std::max(height - 1, 1));
            const bool edge = ((x / 37) + (y / 23)) % 2 == 0;
            const bool noisy = (x / 64 + y / 48) % 3 == 1;
            b.SetPixel(x, y, noisy ? Rgb(n, static_cast<uint8_t>(n ^ 0x5A), static_cast<uint8_t>(x ^ y))
                                   : Rgb(r, edge ? g : static_cast<uint8_t>(255 - g), edge ? 0x20 : 0xE0));
        }
    }
    return b;
}

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (dir.empty()) continue;
        const fs::path candidate = fs::path(dir) / program;
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) return candidate.string();
    }
    return {};
}

// A file name of this test's own in the test temp folder.
fs::path TempFile(const std::string& suffix) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("kwpshot_") + info->test_suite_name() + "_" + info->name() + "_" + suffix;
    for (char& c : name)
        if (c == '/') c = '_';
    return fs::path(testing::TempDir()) / name;
}

void WritePpm(const Bitmap& b, const fs::path& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << b.Width() << " " << b.Height() << "\n255\n";
    std::vector<char> row(static_cast<size_t>(b.Width()) * 3);
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            const uint32_t p = b.Pixel(x, y);
            row[3 * x] = static_cast<char>(p >> 16);
            row[3 * x + 1] = static_cast<char>(p >> 8);
            row[3 * x + 2] = static_cast<char>(p);
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// What the library's own command-line encoder makes of the same pixels.
std::optional<Bytes> Cjpeg(const Bitmap& b, int quality) {
    const std::string cjpeg = FindOnPath("cjpeg");
    if (cjpeg.empty()) {
        ADD_FAILURE() << "cjpeg not found on PATH; it comes with the package libjpeg-turbo-progs "
                         "(scripts/install-deps.sh installs it)";
        return std::nullopt;
    }
    const fs::path ppm = TempFile("in.ppm"), jpg = TempFile("out.jpg");
    WritePpm(b, ppm);
    const std::string command = "'" + cjpeg + "' -dct float -baseline -quality " + std::to_string(quality) +
                                " -outfile '" + jpg.string() + "' '" + ppm.string() + "'";
    const int status = std::system(command.c_str());
    std::optional<Bytes> out;
    if (status == 0) out = ReadFile(jpg);
    else ADD_FAILURE() << command << " failed with status " << status;
    fs::remove(ppm);
    fs::remove(jpg);
    return out;
}

struct DecodeErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// Decodes with libjpeg into `out`; false on a library error. Only plain data
// lives in this frame, since an error jumps back into it.
[[gnu::noinline]] bool DecodeInto(const Bytes& data, Bitmap& out) {
    jpeg_decompress_struct cinfo{};
    DecodeErrors err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<DecodeErrors*>(c->err)->jump, 1); };
    err.pub.output_message = [](j_common_ptr) {};
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out = Bitmap(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
    std::vector<JSAMPLE> row(cinfo.output_width * 3);
    JSAMPROW rows[1] = {row.data()};
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = static_cast<int>(cinfo.output_scanline);
        jpeg_read_scanlines(&cinfo, rows, 1);
        for (int x = 0; x < out.Width(); ++x) out.SetPixel(x, y, Rgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]));
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

Bitmap Decode(const Bytes& data) {
    Bitmap out;
    EXPECT_TRUE(DecodeInto(data, out)) << "libjpeg could not read the output";
    return out;
}

class JpegMatchesCjpegTest : public testing::TestWithParam<std::tuple<std::pair<int, int>, int>> {};

// The output is byte for byte what the library's encoder gives with the float
// DCT, baseline tables and the same quality.
TEST_P(JpegMatchesCjpegTest, ByteIdentical) {
    const auto [size, quality] = GetParam();
    const Bitmap b = TestPicture(size.first, size.second);
    const Bytes ours = EncodeJpeg(b, quality);
    const std::optional<Bytes> theirs = Cjpeg(b, quality);
    ASSERT_TRUE(theirs);
    ASSERT_FALSE(ours.empty());
    EXPECT_TRUE(ours == *theirs) << "ours " << ours.size() << " bytes, cjpeg " << theirs->size() << " bytes";
}

std::string CaseName(const testing::TestParamInfo<JpegMatchesCjpegTest::ParamType>& info) {
    const auto& size = std::get<0>(info.param);
    return std::to_string(size.first) + "x" + std::to_string(size.second) + "_q" + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(SizesAndQualities, JpegMatchesCjpegTest,
                         testing::Combine(testing::Values(std::pair{1, 1}, std::pair{1, 37}, std::pair{37, 1},
                                                          std::pair{17, 9}, std::pair{1920, 1080}),
                                          testing::Values(0, 1, 50, 75, 100)),
                         CaseName);

TEST(JpegTest, QualityIsLimitedToOneToHundred) {
    const Bitmap b = TestPicture(40, 24);
    const Bytes q1 = EncodeJpeg(b, 1);
    EXPECT_EQ(EncodeJpeg(b, 0), q1);
    EXPECT_EQ(EncodeJpeg(b, -7), q1);
    EXPECT_EQ(EncodeJpeg(b, 250), EncodeJpeg(b, 100));
    EXPECT_NE(EncodeJpeg(b, 50), EncodeJpeg(b, 75));
}

TEST(JpegTest, DepthPlaysNoPart) {
    const Bitmap b32 = TestPicture(20, 10);
    Bitmap b24(20, 10, 24);
    std::copy(b32.Data(), b32.Data() + 200, b24.Data());
    EXPECT_EQ(EncodeJpeg(b24, 50), EncodeJpeg(b32, 50));
}

TEST(JpegTest, EmptyBitmapGivesNoBytes) {
    EXPECT_TRUE(EncodeJpeg(Bitmap(), 50).empty());
    EXPECT_TRUE(EncodeJpeg(Bitmap(0, 8), 50).empty());
    EXPECT_TRUE(EncodeJpeg(Bitmap(8, 0, 24), 50).empty());
}

TEST(JpegTest, ColoursComeOutTheRightWayRound) {
    // Red on the left, blue on the right, in blocks big enough to be flat.
    Bitmap b(32, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) b.SetPixel(x, y, x < 16 ? Rgb(255, 0, 0) : Rgb(0, 0, 255));
    for (int quality : {50, 100}) {
        const Bitmap back = Decode(EncodeJpeg(b, quality));
        ASSERT_EQ(back.Width(), 32);
        ASSERT_EQ(back.Height(), 16);
        for (auto [x, want] : {std::pair{4, Rgb(255, 0, 0)}, {27, Rgb(0, 0, 255)}}) {
            const uint32_t got = back.Pixel(x, 8);
            for (int shift : {16, 8, 0})
                EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((want >> shift) & 0xFF), 8)
                    << "quality " << quality << " x " << x << " got " << std::hex << got;
        }
    }
}

struct Segment {
    uint8_t marker;
    Bytes body;
};

// The marker segments of a JPEG stream in order; the entropy-coded data after
// SOS is skipped. Fails the test on a stream that does not parse.
std::vector<Segment> Segments(const Bytes& data) {
    std::vector<Segment> out;
    size_t at = 0;
    while (at + 1 < data.size()) {
        if (data[at] != 0xFF) {
            ADD_FAILURE() << "no marker at " << at;
            return out;
        }
        const uint8_t marker = data[at + 1];
        at += 2;
        if (marker == 0xD8 || marker == 0xD9) {
            out.push_back({marker, {}});
            if (marker == 0xD9) {
                EXPECT_EQ(at, data.size()) << "bytes after EOI";
                return out;
            }
            continue;
        }
        if (at + 2 > data.size()) break;
        const size_t length = size_t{data[at]} << 8 | data[at + 1];
        if (length < 2 || at + length > data.size()) break;
        out.push_back({marker, Bytes(data.begin() + at + 2, data.begin() + at + length)});
        at += length;
        if (marker == 0xDA) {  // entropy-coded data up to the next real marker
            while (at + 1 < data.size() && !(data[at] == 0xFF && data[at + 1] != 0 && (data[at + 1] & 0xF8) != 0xD0)) ++at;
        }
    }
    ADD_FAILURE() << "stream ends without EOI";
    return out;
}

class JpegStructureTest : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(JpegStructureTest, BaselineJfifWithNothingElse) {
    const auto [width, height] = GetParam();
    const std::vector<Segment> s = Segments(EncodeJpeg(TestPicture(width, height), 75));
    ASSERT_GE(s.size(), 4u);
    EXPECT_EQ(s.front().marker, 0xD8);
    ASSERT_EQ(s[1].marker, 0xE0);
    // "JFIF", version 1.01, density unit 0, density 1:1, no thumbnail.
    EXPECT_EQ(s[1].body, (Bytes{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
    EXPECT_EQ(s.back().marker, 0xD9);

    int sof = 0, sos = 0, dht = 0;
    std::vector<int> dqtIds;
    for (size_t i = 2; i + 1 < s.size(); ++i) {
        const Segment& seg = s[i];
        switch (seg.marker) {
            case 0xDB:
                for (size_t at = 0; at + 65 <= seg.body.size(); at += 65) {
                    EXPECT_EQ(seg.body[at] >> 4, 0) << "8-bit tables only";
                    dqtIds.push_back(seg.body[at] & 0x0F);
                }
                break;
            case 0xC0: {
                ++sof;
                const Bytes expected = {8,
                                        static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
                                        static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width),
                                        3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
                EXPECT_EQ(seg.body, expected);
                break;
            }
            case 0xC4: ++dht; break;
            case 0xDA:
                ++sos;
                EXPECT_EQ(seg.body, (Bytes{3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
                break;
            default: ADD_FAILURE() << "unexpected marker 0x" << std::hex << int{seg.marker};
        }
    }
    EXPECT_EQ(sof, 1);
    EXPECT_EQ(sos, 1);
    EXPECT_EQ(dht, 4);
    EXPECT_EQ(dqtIds, (std::vector<int>{0, 1}));

    const Bitmap back = Decode(EncodeJpeg(TestPicture(width, height), 75));
    EXPECT_EQ(back.Width(), width);
    EXPECT_EQ(back.Height(), height);
}

INSTANTIATE_TEST_SUITE_P(Sizes, JpegStructureTest,
                         testing::Values(std::pair{1, 1}, std::pair{1, 300}, std::pair{300, 1}, std::pair{17, 9}));

TEST(JpegTest, LibraryErrorBecomesJpegErrorWithItsCode) {
    // Wider than a JPEG can be: the library refuses it when compression starts.
    const Bitmap tooWide(70000, 1);
    try {
        EncodeJpeg(tooWide, 50);
        ADD_FAILURE() << "encoded without an error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "JPEG error #" + std::to_string(JERR_IMAGE_TOO_BIG));
    }
}

// Read back from a BMP file at either depth, or taken from lent memory whose
// top bytes hold anything, the picture gives the same bytes as from a bitmap.
TEST(JpegTest, SameBytesFromAFileOrLentMemory) {
    const Bitmap b = TestPicture(333, 77);
    const Bytes expected = EncodeJpeg(b, 50);
    for (const int bpp : {24, 32}) {
        Bitmap atDepth(333, 77, bpp);
        for (int y = 0; y < 77; ++y)
            for (int x = 0; x < 333; ++x) atDepth.SetPixel(x, y, b.Pixel(x, y));
        BytesSource file(EncodeBmp(atDepth));
        BmpReader reader(file);
        Bytes out;
        BytesSink sink(out);
        EncodeJpeg(reader, 50, sink);
        EXPECT_TRUE(out == expected) << bpp;
    }
    std::vector<uint32_t> words(b.Data(), b.Data() + 333 * 77);
    for (uint32_t& word : words) word |= 0xC3000000u;
    const Bitmap lent = Bitmap::Over(333, 77, 24, words.data(), nullptr);
    EXPECT_TRUE(EncodeJpeg(lent, 50) == expected);
}

// An error of the sink leaves the encoder as it came, not as a library error.
TEST(JpegTest, SinkErrorIsThrownOn) {
    struct FailingSink : FileSink {
        void Write(const void*, size_t) override { throw Error("Cannot create file \"x\". Disk quota exceeded"); }
    } sink;
    const Bitmap picture = TestPicture(640, 480);
    BitmapRows rows(picture);
    try {
        EncodeJpeg(rows, 90, sink);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot create file \"x\". Disk quota exceeded");
    }
}

}  // namespace
}  // namespace kwp::core
