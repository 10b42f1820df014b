#include "core/jpeg.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <new>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

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

// Compressed data goes straight into a growing byte vector.
struct VectorDestination {
    jpeg_destination_mgr pub;
    Bytes* out;
};

constexpr size_t kFirstBufferSize = 64 * 1024;

VectorDestination& DestinationOf(j_compress_ptr cinfo) { return *reinterpret_cast<VectorDestination*>(cinfo->dest); }

void InitDestination(j_compress_ptr cinfo) {
    VectorDestination& dest = DestinationOf(cinfo);
    dest.pub.next_output_byte = dest.out->data();
    dest.pub.free_in_buffer = dest.out->size();
}

bool Grow(Bytes& bytes) noexcept {
    try {
        bytes.resize(bytes.size() * 2);
        return true;
    } catch (...) {
        return false;
    }
}

// Called when the buffer is full.
boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    VectorDestination& dest = DestinationOf(cinfo);
    const size_t used = dest.out->size();
    if (!Grow(*dest.out)) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    dest.pub.next_output_byte = dest.out->data() + used;
    dest.pub.free_in_buffer = dest.out->size() - used;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    VectorDestination& dest = DestinationOf(cinfo);
    dest.out->resize(dest.out->size() - dest.pub.free_in_buffer);
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

// The whole libjpeg sequence; false after a fatal library error. Only plain
// data lives in this frame, so the jump back skips no destructor.
[[gnu::noinline]] bool RunCompressor(jpeg_compress_struct& cinfo, ErrorManager& err, VectorDestination& dest, const Bitmap& bitmap,
                   int quality, JSAMPLE* row) {
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

    cinfo.image_width = static_cast<JDIMENSION>(bitmap.Width());
    cinfo.image_height = static_cast<JDIMENSION>(bitmap.Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    JSAMPROW rows[1] = {row};
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint32_t* src = bitmap.Row(y);
        JSAMPLE* p = row;
        for (int x = 0; x < bitmap.Width(); ++x) {
            const uint32_t rgb = src[x];
            *p++ = static_cast<JSAMPLE>(rgb >> 16);
            *p++ = static_cast<JSAMPLE>(rgb >> 8);
            *p++ = static_cast<JSAMPLE>(rgb);
        }
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

}  // namespace

Bytes EncodeJpeg(const Bitmap& bitmap, int quality) {
    if (bitmap.Empty()) return {};
    Bytes out(kFirstBufferSize);
    std::vector<JSAMPLE> row(static_cast<size_t>(bitmap.Width()) * 3);

    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    VectorDestination dest{};
    dest.out = &out;
    CompressorGuard guard(cinfo);
    if (!RunCompressor(cinfo, err, dest, bitmap, quality, row.data()))
        throw Error(FillTemplate(kJpegError, {std::to_string(err.pub.msg_code)}));
    return out;
}

}  // namespace kwp::core
