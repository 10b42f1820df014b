#include "core/jpeg.h"

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "core/bytes_sink.h"
#include "core/error.h"

namespace kwp::core {

namespace {

// libjpeg is C: nothing may be thrown through its frames. A fatal error
// jumps back to RunCompressor, which reports it; the caller then throws.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void OutputMessage(j_common_ptr) {}
void EmitMessage(j_common_ptr, int) {}

// Compressed data goes through a small buffer into the sink. An error of the
// sink is kept here and thrown again once libjpeg's frames are left.
struct SinkDestination {
    jpeg_destination_mgr pub;
    FileSink* sink;
    std::exception_ptr failure;
    std::array<JOCTET, 64 * 1024> buffer;
};

SinkDestination& DestinationOf(j_compress_ptr cinfo) { return *reinterpret_cast<SinkDestination*>(cinfo->dest); }

void InitDestination(j_compress_ptr cinfo) {
    SinkDestination& dest = DestinationOf(cinfo);
    dest.pub.next_output_byte = dest.buffer.data();
    dest.pub.free_in_buffer = dest.buffer.size();
}

bool Pass(SinkDestination& dest, size_t size) noexcept {
    try {
        dest.sink->Write(dest.buffer.data(), size);
        return true;
    } catch (...) {
        dest.failure = std::current_exception();
        return false;
    }
}

// Called when the buffer is full.
boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    SinkDestination& dest = DestinationOf(cinfo);
    if (!Pass(dest, dest.buffer.size())) ERREXIT(cinfo, JERR_FILE_WRITE);
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    SinkDestination& dest = DestinationOf(cinfo);
    if (!Pass(dest, dest.buffer.size() - dest.pub.free_in_buffer)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Releases libjpeg's memory on every way out, errors included.
class CompressorGuard {
public:
    explicit CompressorGuard(jpeg_compress_struct& cinfo) : cinfo_(cinfo) {}
    ~CompressorGuard() { jpeg_destroy_compress(&cinfo_); }
    CompressorGuard(const CompressorGuard&) = delete;
    CompressorGuard& operator=(const CompressorGuard&) = delete;

private:
    jpeg_compress_struct& cinfo_;
};

J_COLOR_SPACE ColourSpaceOf(RowLayout layout) {
    switch (layout) {
        case RowLayout::Bgr: return JCS_EXT_BGR;
        case RowLayout::Bgrx: return JCS_EXT_BGRX;
        case RowLayout::Xrgb: return JCS_EXT_XRGB;
    }
    return JCS_EXT_BGRX;
}

// Rows per call: one row of MCUs (16 rows at 2x2 sampling), so libjpeg
// takes them without copying them into its own strip first.
constexpr int kRowsPerCall = 16;

// The whole libjpeg sequence; false after a fatal library error. Only plain
// data lives in this frame, so the jump back skips no destructor. The row
// source is asked between libjpeg's calls, so an error it throws leaves
// through ordinary frames.
[[gnu::noinline]] bool RunCompressor(jpeg_compress_struct& cinfo, ErrorManager& err, SinkDestination& dest,
                                     RowSource& source, int quality) {
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = OutputMessage;
    err.pub.emit_message = EmitMessage;
    if (setjmp(err.jump)) return false;

    jpeg_create_compress(&cinfo);
    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyOutputBuffer;
    dest.pub.term_destination = TermDestination;
    cinfo.dest = &dest.pub;

    cinfo.image_width = static_cast<JDIMENSION>(source.Width());
    cinfo.image_height = static_cast<JDIMENSION>(source.Height());
    // The samples reach the encoder as red, green and blue whatever order
    // the row holds them in: the colour conversion reads them in place.
    cinfo.input_components = source.Layout() == RowLayout::Bgr ? 3 : 4;
    cinfo.in_color_space = ColourSpaceOf(source.Layout());
    jpeg_set_defaults(&cinfo);
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    const uint8_t* rows[kRowsPerCall];
    while (cinfo.next_scanline < cinfo.image_height) {
        const int first = static_cast<int>(cinfo.next_scanline);
        const int got = source.Rows(first, std::min(kRowsPerCall, source.Height() - first), rows);
        jpeg_write_scanlines(&cinfo, const_cast<JSAMPARRAY>(rows), static_cast<JDIMENSION>(got));
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

}  // namespace

void EncodeJpeg(RowSource& source, int quality, FileSink& sink) {
    if (source.Width() <= 0 || source.Height() <= 0) return;
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    auto dest = std::make_unique<SinkDestination>();
    dest->sink = &sink;
    CompressorGuard guard(cinfo);
    if (!RunCompressor(cinfo, err, *dest, source, quality)) {
        if (dest->failure) std::rethrow_exception(dest->failure);
        throw Error(FillTemplate(kJpegError, {std::to_string(err.pub.msg_code)}));
    }
}

Bytes EncodeJpeg(const Bitmap& bitmap, int quality) {
    Bytes out;
    BytesSink sink(out);
    BitmapRows rows(bitmap);
    EncodeJpeg(rows, quality, sink);
    return out;
}

RowLayout BitmapRows::Layout() const {
    return std::endian::native == std::endian::little ? RowLayout::Bgrx : RowLayout::Xrgb;
}

int BitmapRows::Rows(int first, int most, const uint8_t** rows) {
    for (int i = 0; i < most; ++i) rows[i] = reinterpret_cast<const uint8_t*>(bitmap_.Row(first + i));
    return most;
}

}  // namespace kwp::core
