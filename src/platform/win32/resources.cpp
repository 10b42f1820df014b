#include "platform/win32/resources.h"

#include "platform/win32/jpeg_decode.h"
#include "platform/win32/message_target.h"
#include "platform/win32/resource_ids.h"

namespace kwp::platform::win32 {

IconHandle LoadProgramIcon(int size) {
    return IconHandle(static_cast<HICON>(
        LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(KWPSHOT_ICON), IMAGE_ICON, size, size, 0)));
}

BitmapHandle LoadGlyph(Resource glyph) {
    int id = 0;
    switch (glyph) {
        case Resource::GlyphSave: id = KWPSHOT_GLYPH_SAVE; break;
        case Resource::GlyphExit: id = KWPSHOT_GLYPH_EXIT; break;
        case Resource::GlyphCapture: id = KWPSHOT_GLYPH_CAPTURE; break;
        default: return {};
    }
    return BitmapHandle(static_cast<HBITMAP>(
        LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

core::Bitmap LoadJpegPicture(Resource picture) {
    if (picture != Resource::Banner) return {};
    HRSRC found = FindResourceW(ModuleInstance(), MAKEINTRESOURCEW(KWPSHOT_BANNER), MAKEINTRESOURCEW(10));
    if (!found) return {};
    HGLOBAL loaded = LoadResource(ModuleInstance(), found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    return DecodeJpeg(static_cast<const uint8_t*>(data), SizeofResource(ModuleInstance(), found));
}

}  // namespace kwp::platform::win32
