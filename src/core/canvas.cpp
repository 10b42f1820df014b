#include "core/canvas.h"

#include <algorithm>
#include <utility>

namespace kwp::core {

namespace {

int Sign(int64_t v) { return v < 0 ? -1 : 1; }

// Where on the minor axis step i of a line lies, in whole pixels from its
// start: i * minor / major rounded to the nearest pixel, as Bresenham's walk
// gives it. With major and minor below 2^32 the sum stays below 2^64.
uint64_t MinorStep(uint64_t i, uint64_t minor, uint64_t major) { return (i * minor + major / 2) / major; }

// The first step in [0, major] whose minor position reaches `target`
// (MinorStep never falls as the step grows).
uint64_t FirstStepReaching(int64_t target, uint64_t minor, uint64_t major) {
    if (target <= 0) return 0;
    uint64_t lo = 0, hi = major;
    while (lo < hi) {
        const uint64_t mid = lo + (hi - lo) / 2;
        if (MinorStep(mid, minor, major) >= static_cast<uint64_t>(target)) hi = mid;
        else lo = mid + 1;
    }
    return lo;
}

// The steps i of a walk from `start` in direction `sign` that land in [0, size).
void StepsInside(int64_t start, int sign, int64_t size, int64_t& first, int64_t& end) {
    if (sign > 0) {
        first = -start;
        end = size - start;
    } else {
        first = start - size + 1;
        end = start + 1;
    }
}

}  // namespace

uint32_t Canvas::Paint(uint32_t old) const {
    return penMode_ == PenMode::Not ? ~old & 0xFFFFFFu : penColor_ & 0xFFFFFFu;
}

void Canvas::AddDirty(int left, int top, int right, int bottom) {
    const Rect added{left, top, right, bottom};
    auto contains = [](const Rect& outer, const Rect& inner) { return outer.Union(inner) == outer; };
    for (const Rect& known : dirty_)
        if (contains(known, added)) return;
    std::erase_if(dirty_, [&](const Rect& known) { return contains(added, known); });
    dirty_.push_back(added);
    // Past a few dozen pieces one rectangle around them all repaints faster.
    constexpr size_t kMostPieces = 32;
    if (dirty_.size() > kMostPieces) {
        Rect all;
        for (const Rect& r : dirty_) all = all.Union(r);
        dirty_.assign(1, all);
    }
}

std::vector<Rect> Canvas::TakeDirty() { return std::exchange(dirty_, {}); }

void Canvas::MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

void Canvas::LineTo(int x, int y) {
    const int64_t x0 = penX_, y0 = penY_;
    penX_ = x;
    penY_ = y;
    if (y == y0 && x == x0) return;
    if (y == y0) {
        if (x > x0) MarkRow(y0, x0, x);
        else MarkRow(y0, int64_t{x} + 1, x0 + 1);
    } else if (x == x0) {
        if (y > y0) MarkColumn(x0, y0, y);
        else MarkColumn(x0, int64_t{y} + 1, y0 + 1);
    } else {
        MarkSlanted(x0, y0, x, y);
    }
}

void Canvas::Rectangle(int x1, int y1, int x2, int y2) {
    const int64_t left = std::min(x1, x2), right = std::max(x1, x2);
    const int64_t top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (left == right || top == bottom) return;
    // Top and bottom rows in full, then the sides between them, so that a box
    // one pixel wide or high still has every pixel marked exactly once.
    MarkRow(top, left, right);
    if (bottom - top > 1) MarkRow(bottom - 1, left, right);
    MarkColumn(left, top + 1, bottom - 1);
    if (right - left > 1) MarkColumn(right - 1, top + 1, bottom - 1);
}

void Canvas::MarkRow(int64_t y, int64_t x0, int64_t x1) {
    const Bitmap& b = *bitmap_;
    if (y < 0 || y >= b.Height()) return;
    x0 = std::max<int64_t>(x0, 0);
    x1 = std::min<int64_t>(x1, b.Width());
    if (x0 >= x1) return;
    uint32_t* p = bitmap_->Row(static_cast<int>(y));
    uint32_t* const end = p + x1;
    if (penMode_ == PenMode::Not) {
        for (p += x0; p != end; ++p) *p = ~*p & 0xFFFFFFu;
    } else {
        std::fill(p + x0, end, penColor_ & 0xFFFFFFu);
    }
    AddDirty(static_cast<int>(x0), static_cast<int>(y), static_cast<int>(x1), static_cast<int>(y) + 1);
}

void Canvas::MarkColumn(int64_t x, int64_t y0, int64_t y1) {
    const Bitmap& b = *bitmap_;
    if (x < 0 || x >= b.Width()) return;
    y0 = std::max<int64_t>(y0, 0);
    y1 = std::min<int64_t>(y1, b.Height());
    if (y0 >= y1) return;
    const size_t stride = static_cast<size_t>(b.Width());
    uint32_t* p = bitmap_->Row(static_cast<int>(y0)) + x;
    for (int64_t y = y0; y < y1; ++y, p += stride) *p = Paint(*p);
    AddDirty(static_cast<int>(x), static_cast<int>(y0), static_cast<int>(x) + 1, static_cast<int>(y1));
}

void Canvas::MarkSlanted(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    const int64_t dx = x1 - x0, dy = y1 - y0;
    const bool alongX = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    // Walk the longer (major) axis one pixel per step; the other (minor) axis
    // follows the ideal line to the nearest pixel.
    const int64_t a0 = alongX ? x0 : y0, b0 = alongX ? y0 : x0;
    const int64_t da = alongX ? dx : dy, db = alongX ? dy : dx;
    const int sa = Sign(da), sb = Sign(db);
    const uint64_t major = static_cast<uint64_t>(da * sa), minor = static_cast<uint64_t>(db * sb);
    const Bitmap& b = *bitmap_;
    const int64_t sizeA = alongX ? b.Width() : b.Height(), sizeB = alongX ? b.Height() : b.Width();

    // Clip on the step index, so that a line reaching far outside costs only
    // its visible pixels and every visible pixel is where the full walk puts it.
    int64_t first = 0, end = static_cast<int64_t>(major);
    int64_t lo, hi;
    StepsInside(a0, sa, sizeA, lo, hi);
    first = std::max(first, lo);
    end = std::min(end, hi);
    StepsInside(b0, sb, sizeB, lo, hi);  // minor positions wanted: [lo, hi)
    if (hi <= 0 || lo > static_cast<int64_t>(minor)) return;
    first = std::max(first, static_cast<int64_t>(FirstStepReaching(lo, minor, major)));
    end = std::min(end, static_cast<int64_t>(FirstStepReaching(hi, minor, major)));
    if (first >= end) return;

    const uint64_t start = static_cast<uint64_t>(first) * minor + major / 2;
    uint64_t k = start / major, rest = start % major;
    int left = b.Width(), top = b.Height(), right = 0, bottom = 0;
    for (int64_t i = first; i < end; ++i) {
        const int a = static_cast<int>(a0 + sa * i), m = static_cast<int>(b0 + sb * static_cast<int64_t>(k));
        const int x = alongX ? a : m, y = alongX ? m : a;
        uint32_t& pixel = bitmap_->Row(y)[x];
        pixel = Paint(pixel);
        left = std::min(left, x);
        right = std::max(right, x + 1);
        top = std::min(top, y);
        bottom = std::max(bottom, y + 1);
        rest += minor;
        if (rest >= major) {
            rest -= major;
            ++k;
        }
    }
    AddDirty(left, top, right, bottom);
}

}  // namespace kwp::core
