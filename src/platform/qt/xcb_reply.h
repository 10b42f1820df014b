#pragma once
// Owner of what xcb hands out to be freed with free(): replies, errors, and
// the keycode lists of xcb-keysyms.
#include <cstdlib>
#include <memory>

namespace kwp::qt {

struct StdFree {
    void operator()(void* p) const { std::free(p); }
};

template <typename T>
using XcbOwned = std::unique_ptr<T, StdFree>;

template <typename T>
XcbOwned<T> Own(T* p) {
    return XcbOwned<T>(p);
}

}  // namespace kwp::qt
