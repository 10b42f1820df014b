#include "wl_shared_bitmap.h"

#include <sys/mman.h>
#include <unistd.h>

#include <memory>
#include <set>

#include "unique_fd.h"

namespace kwp::qt {

namespace {

// The memory behind shared bitmaps; unmapped and closed with the last bitmap
// that uses it.
struct SharedMemory {
    UniqueFd fd;
    void* map = MAP_FAILED;
    size_t bytes = 0;
    uint64_t serial = 0;
    ~SharedMemory();
};

// Which lenders are ours (the program runs on one thread).
std::set<const void*>& Live() {
    static std::set<const void*> live;
    return live;
}

SharedMemory::~SharedMemory() {
    Live().erase(this);
    if (map != MAP_FAILED) ::munmap(map, bytes);
}

}  // namespace

core::Bitmap NewSharedBitmap(int width, int height, int bitsPerPixel) {
    if (width <= 0 || height <= 0) return core::Bitmap(width, height, bitsPerPixel);
    static uint64_t serials = 0;
    auto memory = std::make_shared<SharedMemory>();
    memory->serial = ++serials;
    memory->bytes = size_t(width) * size_t(height) * 4;
    memory->fd = UniqueFd(::memfd_create("kwpshot-snapshot", MFD_CLOEXEC));
    if (!memory->fd.Valid() || ::ftruncate(memory->fd.Get(), off_t(memory->bytes)) != 0)
        return core::Bitmap(width, height, bitsPerPixel);
    memory->map = ::mmap(nullptr, memory->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, memory->fd.Get(), 0);
    if (memory->map == MAP_FAILED) return core::Bitmap(width, height, bitsPerPixel);
    Live().insert(memory.get());
    auto* pixels = static_cast<uint32_t*>(memory->map);
    return core::Bitmap::Over(width, height, bitsPerPixel, pixels, std::move(memory));
}

std::optional<SharedPixels> SharedPixelsOf(const core::Bitmap& bitmap) {
    const void* lender = bitmap.Lender();
    if (!lender || !Live().count(lender)) return std::nullopt;
    const auto* memory = static_cast<const SharedMemory*>(lender);
    // Only a bitmap that spans the whole memory can be shown from it.
    if (static_cast<const void*>(bitmap.Data()) != memory->map ||
        size_t(bitmap.Width()) * size_t(bitmap.Height()) * 4 != memory->bytes)
        return std::nullopt;
    return SharedPixels{memory->fd.Get(), memory->bytes, memory->serial};
}

}  // namespace kwp::qt
