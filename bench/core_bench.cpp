// Figures for the picture side of the core at a 4K screen: the cost of one
// pointer move on the overlay (crosshair, outline) and of the output path of
// a full-screen region, next to the library's own cjpeg on the same pixels.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/bmp.h"
#include "core/bytes_sink.h"
#include "core/canvas.h"
#include "core/jpeg.h"

namespace {

using namespace kwp::core;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 3840, kHeight = 2160, kQuality = 50;

struct Timing {
    double min = 0, median = 0;  // microseconds per operation
};

// Runs `batch` `reps` times, each run doing `perBatch` operations.
Timing Measure(int reps, int perBatch, const std::function<void()>& batch) {
    std::vector<double> per;
    for (int r = 0; r < reps; ++r) {
        const auto start = Clock::now();
        batch();
        per.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / perBatch);
    }
    std::sort(per.begin(), per.end());
    return {per.front(), per[per.size() / 2]};
}

void PrintRow(const std::string& what, const Timing& t, const std::string& note = "") {
    std::printf("  %-40s %12.1f %12.1f   %s\n", what.c_str(), t.min, t.median, note.c_str());
}

// Screen-like content: flat panels, gradients and text-like noise.
Bitmap ScreenPicture() {
    Bitmap b(kWidth, kHeight, 24);  // a 24-bit display, as the X servers here
    uint32_t noise = 1;
    for (int y = 0; y < kHeight; ++y) {
        uint32_t* row = b.Row(y);
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int panel = (x / 480) + (y / 360) * 8;
            uint32_t rgb;
            if (panel % 3 == 0) rgb = Rgb(0xF0, 0xF0, 0xF0);
            else if (panel % 3 == 1) rgb = Rgb(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0x80);
            else rgb = (noise >> 28) < 3 ? Rgb(0x20, 0x20, 0x20) : Rgb(0xFF, 0xFF, 0xFF);
            row[x] = rgb;
        }
    }
    return b;
}

void Crosshair(Canvas& c, int x, int y) {
    c.MoveTo(x, 0);
    c.LineTo(x, kHeight);
    c.MoveTo(0, y);
    c.LineTo(kWidth, y);
}

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        std::error_code ec;
        if (!dir.empty() && fs::is_regular_file(fs::path(dir) / program, ec)) return (fs::path(dir) / program).string();
    }
    return {};
}

void WritePpm(const Bitmap& b, const fs::path& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << b.Width() << " " << b.Height() << "\n255\n";
    std::vector<char> row(static_cast<size_t>(b.Width()) * 3);
    for (int y = 0; y < b.Height(); ++y) {
        const uint32_t* src = b.Row(y);
        for (int x = 0; x < b.Width(); ++x) {
            row[3 * x] = static_cast<char>(src[x] >> 16);
            row[3 * x + 1] = static_cast<char>(src[x] >> 8);
            row[3 * x + 2] = static_cast<char>(src[x]);
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
}

}  // namespace

int main() {
    std::printf("kwpshot core benchmark: %dx%d picture, times in microseconds per operation\n\n", kWidth, kHeight);
    std::printf("  %-40s %12s %12s\n", "operation", "min", "median");

    // Overlay: each move erases the old figure and draws the new one with
    // the inverting pen, as the pointer moves do.
    Bitmap screen = ScreenPicture();
    {
        Canvas c(screen);
        c.SetPenMode(PenMode::Not);
        int x = 100, y = 100;
        Crosshair(c, x, y);
        constexpr int kMoves = 200;
        const Timing t = Measure(25, kMoves, [&] {
            for (int i = 0; i < kMoves; ++i) {
                const int nx = (x + 17) % kWidth, ny = (y + 11) % kHeight;
                Crosshair(c, x, y);
                Crosshair(c, nx, ny);
                x = nx;
                y = ny;
            }
        });
        Crosshair(c, x, y);
        PrintRow("crosshair move (erase + draw, 4 lines)", t);

        int ex = 3000, ey = 2000;
        c.Rectangle(50, 40, ex, ey);
        const Timing r = Measure(25, kMoves, [&] {
            for (int i = 0; i < kMoves; ++i) {
                const int nx = 2000 + (ex * 7 + 13) % 1800, ny = 1200 + (ey * 5 + 7) % 900;
                c.Rectangle(50, 40, ex, ey);
                c.Rectangle(50, 40, nx, ny);
                ex = nx;
                ey = ny;
            }
        });
        c.Rectangle(50, 40, ex, ey);
        PrintRow("outline move (erase + draw, 2 boxes)", r, "boxes about 3000x2000");
        c.TakeDirty();
    }

    // Output path of a full-screen region, as the program takes it: the
    // region cut out in the snapshot's memory, the bitmap file written row by
    // row, the JPEG made from the file's rows as they are read back.
    std::printf("\n  full-screen region, output path\n");
    constexpr int kReps = 5;
    Bitmap region;
    Bytes bmp, jpeg;
    const Rect all{0, 0, kWidth - 1, kHeight - 1};
    std::vector<double> cropTimes;
    for (int r = 0; r < kReps; ++r) {
        region = screen;
        const auto start = Clock::now();
        region.CropInPlace(all);
        cropTimes.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(cropTimes.begin(), cropTimes.end());
    const Timing crop{cropTimes.front(), cropTimes[cropTimes.size() / 2]};
    bmp.reserve(static_cast<size_t>(kWidth) * kHeight * 4 + 54);
    const Timing enc = Measure(kReps, 1, [&] {
        bmp.clear();
        BytesSink sink(bmp);
        WriteBmp(region, sink);
    });
    const Timing jpg = Measure(kReps, 1, [&] {
        jpeg.clear();
        BytesSink sink(jpeg);
        BytesView file(bmp);
        BmpReader reader(file);
        EncodeJpeg(reader, kQuality, sink);
    });
    const Bitmap back = DecodeBmp(bmp);
    PrintRow("crop in place", crop);
    PrintRow("BMP rows written", enc, std::to_string(bmp.size()) + " bytes, into memory");
    PrintRow("JPEG from the BMP's rows, quality 50", jpg, std::to_string(jpeg.size()) + " bytes");
    const Timing total{crop.min + enc.min + jpg.min, crop.median + enc.median + jpg.median};
    PrintRow("total", total);

    const std::string cjpeg = FindOnPath("cjpeg");
    if (cjpeg.empty()) {
        std::printf("\n  cjpeg not found on PATH (package libjpeg-turbo-progs): no comparison\n");
        return 0;
    }
    const fs::path dir = fs::temp_directory_path();
    const fs::path ppm = dir / "kwpshot_bench_screen.ppm", tiny = dir / "kwpshot_bench_tiny.ppm";
    const fs::path out = dir / "kwpshot_bench_out.jpg";
    WritePpm(back, ppm);
    WritePpm(Bitmap(1, 1), tiny);
    auto run = [&](const fs::path& in) {
        const std::string command = "'" + cjpeg + "' -dct float -baseline -quality " + std::to_string(kQuality) +
                                    " -outfile '" + out.string() + "' '" + in.string() + "'";
        if (std::system(command.c_str()) != 0) std::printf("  failed: %s\n", command.c_str());
    };
    const Timing whole = Measure(kReps, 1, [&] { run(ppm); });
    std::ifstream theirs(out, std::ios::binary);
    const Bytes theirBytes((std::istreambuf_iterator<char>(theirs)), {});
    const Timing start = Measure(kReps, 1, [&] { run(tiny); });
    const Timing own{whole.min - start.min, whole.median - start.median};

    std::printf("\n  cjpeg -dct float -baseline -quality 50, same pixels from a PPM file\n");
    PrintRow("cjpeg process", whole);
    PrintRow("cjpeg process on a 1x1 picture (start-up)", start);
    PrintRow("cjpeg less start-up", own, "includes reading the PPM");
    std::printf("\n  output identical to cjpeg: %s\n", theirBytes == jpeg ? "yes" : "NO");
    std::printf("  ratio JPEG encode / (cjpeg less start-up): %.2f (median)\n", jpg.median / own.median);
    std::printf("  ratio whole output path / cjpeg process:   %.2f (median)\n", total.median / whole.median);
    fs::remove(ppm);
    fs::remove(tiny);
    fs::remove(out);
    return 0;
}
