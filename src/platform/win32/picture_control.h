#pragma once
// A picture stretched to fill the control, with the hand cursor; a click on
// it runs its handler.
#include "core/bitmap.h"
#include "platform/win32/native_control.h"

namespace kwp::platform::win32 {

class PictureControl : public Picture, public NativeControl, private MessageTarget {
public:
    PictureControl(FormContext& form, HWND parent, Bounds bounds, Resource picture, Handler onClick);
    ~PictureControl() override;

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Paint();

    core::Bitmap picture_;
    Handler onClick_;
    bool tracking_ = false;
};

}  // namespace kwp::platform::win32
