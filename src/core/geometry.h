#pragma once
#include <algorithm>

namespace kwp::core {

// A rectangle of pixels: columns left..right-1, rows top..bottom-1.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    Rect Intersect(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
        return r.Empty() ? Rect{} : r;
    }
    Rect Union(const Rect& o) const {
        if (Empty()) return o;
        if (o.Empty()) return *this;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
    }
    bool operator==(const Rect&) const = default;
};

}  // namespace kwp::core
