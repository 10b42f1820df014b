#pragma once
// The overlay's picture control: it owns the picture (a bitmap) and the canvas
// drawn on it, and tells the window which part to repaint.
#include <optional>

#include "core/bitmap.h"
#include "core/canvas.h"
#include "platform/platform.h"

namespace kwp {

class TImage {
public:
    explicit TImage(platform::OverlayWindow& window) : window_(window) {}
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;

    const core::Bitmap& Picture() const { return picture_; }
    // The picture takes the bitmap and drops what it held; its canvas is new,
    // with the pen at its defaults.
    void SetPicture(core::Bitmap picture);
    // The picture becomes its part under `region`, in the memory it already
    // has (core::Bitmap::CropInPlace); the canvas is new.
    void CropPicture(const core::Rect& region);
    core::Canvas& Canvas() { return *canvas_; }
    // Repaints what the canvas changed since the last repaint.
    void RepaintChanges();

private:
    platform::OverlayWindow& window_;
    core::Bitmap picture_;
    std::optional<core::Canvas> canvas_{std::in_place, picture_};
};

}  // namespace kwp
