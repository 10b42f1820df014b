#pragma once
// Drawing on a bitmap with a one-pixel pen, as the overlay needs it.
// In inverting mode every pixel the pen touches is replaced by its bitwise
// inverse, so drawing a figure twice restores every pixel. Pixels outside the
// bitmap are clipped; each call marks the same pixels every time it is made
// with the same arguments. The canvas collects the rectangle it changed so a
// window can repaint only that.
#include <cstdint>

#include <vector>

#include "core/bitmap.h"
#include "core/geometry.h"

namespace kwp::core {

enum class PenMode { Copy, Not };

class Canvas {
public:
    explicit Canvas(Bitmap& bitmap) : bitmap_(&bitmap) {}

    void SetPenMode(PenMode mode) { penMode_ = mode; }
    PenMode GetPenMode() const { return penMode_; }
    void SetPenColor(uint32_t rgb) { penColor_ = rgb; }

    void MoveTo(int x, int y);
    // The line from the current position up to (x, y), not including (x, y);
    // (x, y) becomes the current position.
    void LineTo(int x, int y);
    // The one-pixel outline of the box with opposite corners (x1, y1) and
    // (x2, y2), given in any order: columns min..max-1 and rows min..max-1, each
    // pixel marked once. Equal corners on either axis mark nothing. The inside
    // is left alone.
    void Rectangle(int x1, int y1, int x2, int y2);

    // The parts changed since the last call, and forget them: one thin
    // rectangle per line or outline edge (so a crosshair move repaints two
    // columns and two rows, not the whole picture), none inside another.
    std::vector<Rect> TakeDirty();

private:
    // Coordinates in 64 bits, so that a line or box reaching past the int
    // range (x + 1 at INT_MAX, INT_MAX - INT_MIN) is computed without wrapping.
    void MarkRow(int64_t y, int64_t x0, int64_t x1);     // columns x0..x1-1, clipped
    void MarkColumn(int64_t x, int64_t y0, int64_t y1);  // rows y0..y1-1, clipped
    // The pixels of a line that is neither horizontal nor vertical, start
    // included, end excluded; only the part inside the bitmap is walked.
    void MarkSlanted(int64_t x0, int64_t y0, int64_t x1, int64_t y1);
    uint32_t Paint(uint32_t old) const;  // the pen applied to one pixel
    void AddDirty(int left, int top, int right, int bottom);

    Bitmap* bitmap_;
    PenMode penMode_ = PenMode::Copy;
    uint32_t penColor_ = 0;
    int penX_ = 0, penY_ = 0;
    std::vector<Rect> dirty_;
};

}  // namespace kwp::core
