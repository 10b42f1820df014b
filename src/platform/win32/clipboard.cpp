#include "platform/win32/clipboard.h"

#include "core/error.h"
#include "platform/win32/handles.h"
#include "platform/win32/screen.h"

namespace kwp::platform::win32 {

void PutBitmapOnClipboard(HWND owner, const core::Bitmap& bitmap) {
    // The device bitmap is made first so that a failure leaves the clipboard
    // as it was.
    BitmapHandle device;
    if (!bitmap.Empty()) device = ToDeviceBitmap(bitmap);

    ClipboardSession clipboard(owner);
    if (!clipboard.Open()) throw core::Error("Cannot open clipboard");
    EmptyClipboard();
    if (device && SetClipboardData(CF_BITMAP, device.Get()))
        device.Release();  // the clipboard owns it now
}

}  // namespace kwp::platform::win32
