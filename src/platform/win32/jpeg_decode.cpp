#include "platform/win32/jpeg_decode.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace kwp::platform::win32 {
namespace {

struct ErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void Escape(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1); }
void Quiet(j_common_ptr) {}

}  // namespace

core::Bitmap DecodeJpeg(const uint8_t* data, size_t size) {
    jpeg_decompress_struct info{};
    ErrorTrap trap{};
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = Escape;
    trap.manager.output_message = Quiet;
    // The objects with destructors exist before setjmp, so a jump back here
    // skips none of them.
    core::Bitmap picture;
    std::vector<uint8_t> row;
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    picture = core::Bitmap(static_cast<int>(info.output_width), static_cast<int>(info.output_height), 24);
    row.resize(static_cast<size_t>(info.output_width) * 3);
    while (info.output_scanline < info.output_height) {
        uint32_t* out = picture.Row(static_cast<int>(info.output_scanline));
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        for (JDIMENSION x = 0; x < info.output_width; ++x)
            out[x] = core::Rgb(row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return picture;
}

}  // namespace kwp::platform::win32
