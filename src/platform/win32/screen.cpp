#include "platform/win32/screen.h"

#include <cstring>

#include "core/error.h"

namespace kwp::platform::win32 {

int DisplayBitmapDepth() {
    WindowDc screen(nullptr);
    const int depth = screen ? GetDeviceCaps(screen.Get(), BITSPIXEL) : 32;
    return depth == 24 ? 24 : 32;
}

BITMAPINFO TopDownInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

core::Bitmap CopyScreenArea(int width, int height) {
    WindowDc screen(nullptr);
    if (!screen) throw core::Error("Canvas does not allow drawing");
    const int depth = GetDeviceCaps(screen.Get(), BITSPIXEL) == 24 ? 24 : 32;
    core::Bitmap copy(width, height, depth);
    if (copy.Empty()) return copy;

    MemoryDc memory(CreateCompatibleDC(screen.Get()));
    BITMAPINFO info = TopDownInfo(width, height);
    void* bits = nullptr;
    BitmapHandle section(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !section || !bits) throw core::Error("Out of system resources");
    {
        Selection selected(memory.Get(), section.Get());
        if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), 0, 0, SRCCOPY))
            throw core::Error("Canvas does not allow drawing");
        GdiFlush();
    }
    // The section's rows are 0x??RRGGBB words already; the top byte is not
    // part of the picture.
    std::memcpy(copy.Data(), bits, static_cast<size_t>(width) * height * 4);
    for (uint32_t* p = copy.Data(), *end = p + static_cast<size_t>(width) * height; p != end; ++p) *p &= 0x00ffffff;
    return copy;
}

BitmapHandle ToDeviceBitmap(const core::Bitmap& bitmap) {
    WindowDc screen(nullptr);
    if (!screen) throw core::Error("Canvas does not allow drawing");
    BitmapHandle device(CreateCompatibleBitmap(screen.Get(), bitmap.Width(), bitmap.Height()));
    if (!device) throw core::Error("Out of system resources");
    const BITMAPINFO info = TopDownInfo(bitmap.Width(), bitmap.Height());
    if (!SetDIBits(screen.Get(), device.Get(), 0, static_cast<UINT>(bitmap.Height()), bitmap.Data(), &info,
                   DIB_RGB_COLORS))
        throw core::Error("Out of system resources");
    return device;
}

}  // namespace kwp::platform::win32
