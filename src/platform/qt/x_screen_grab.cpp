#include "x_screen_grab.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/error.h"
#include "xcb_reply.h"

namespace kwp::qt {

namespace {

constexpr const char* kCannotDraw = "Canvas does not allow drawing";

}  // namespace

SharedImageSegment::SharedImageSegment(xcb_connection_t* connection, size_t bytes)
    : connection_(connection), bytes_(bytes) {
    int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) throw core::Error("shmget failed");
    address_ = shmat(id, nullptr, 0);
    if (address_ == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        throw core::Error("shmat failed");
    }
    seg_ = xcb_generate_id(connection_);
    xcb_generic_error_t* error = xcb_request_check(connection_, xcb_shm_attach_checked(connection_, seg_, id, 0));
    // Once both sides are attached the id is no longer needed; the kernel
    // frees the memory when the last one detaches, even after a crash.
    shmctl(id, IPC_RMID, nullptr);
    if (Own(error)) {
        shmdt(address_);
        throw core::Error("the X server cannot attach shared memory");
    }
}

SharedImageSegment::~SharedImageSegment() {
    xcb_shm_detach(connection_, seg_);
    xcb_flush(connection_);
    shmdt(address_);
}

XScreenGrab::XScreenGrab(XConnection x) : x_(x) {
    msbFirst_ = xcb_get_setup(x_.connection)->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(x_.connection, &xcb_shm_id);
    if (ext && ext->present) {
        auto version = Own(xcb_shm_query_version_reply(x_.connection, xcb_shm_query_version(x_.connection), nullptr));
        shmAvailable_ = version != nullptr;
    }
}

XScreenGrab::~XScreenGrab() = default;

std::unique_ptr<SharedImageSegment> XScreenGrab::GrabIntoSegment(int x, int y, int width, int height) {
    const size_t bytes = size_t(width) * size_t(height) * 4;
    std::unique_ptr<SharedImageSegment> segment = std::move(segments_->spare);
    if (!segment || segment->Size() < bytes) {
        segment.reset();
        segment = std::make_unique<SharedImageSegment>(x_.connection, bytes);
    }
    auto cookie = xcb_shm_get_image(x_.connection, x_.root, int16_t(x), int16_t(y), uint16_t(width), uint16_t(height),
                                    ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment->Id(), 0);
    auto reply = Own(xcb_shm_get_image_reply(x_.connection, cookie, nullptr));
    if (!reply || (reply->depth != 24 && reply->depth != 32)) throw core::Error(kCannotDraw);
    return segment;
}

const uint32_t* XScreenGrab::GrabToSharedMemory(int x, int y, int width, int height) {
    std::unique_ptr<SharedImageSegment> segment = GrabIntoSegment(x, y, width, height);
    const uint32_t* pixels = segment->Pixels();
    segments_->spare = std::move(segment);
    return pixels;
}

core::Bitmap XScreenGrab::LendAsBitmap(std::unique_ptr<SharedImageSegment> segment, int width, int height) {
    segments_->lent.push_back(segment.get());
    SharedImageSegment* raw = segment.release();
    // Released when the last bitmap over the segment goes: it waits as the
    // spare for the next grab (attached, its pages already mapped), or is
    // detached when there is one already or the grab object is gone.
    std::shared_ptr<void> lender(raw, [owner = std::weak_ptr<Segments>(segments_)](void* released) {
        std::unique_ptr<SharedImageSegment> back(static_cast<SharedImageSegment*>(released));
        if (auto segments = owner.lock()) {
            std::erase(segments->lent, back.get());
            if (!segments->spare) segments->spare = std::move(back);
        }
    });
    return core::Bitmap::Over(width, height, Depth(), raw->Pixels(), std::move(lender));
}

std::optional<xcb_shm_seg_t> XScreenGrab::SegmentOf(const core::Bitmap& bitmap) const {
    for (const SharedImageSegment* segment : segments_->lent) {
        if (bitmap.Lender() == segment && bitmap.Data() == segment->Pixels() &&
            size_t(bitmap.Width()) * size_t(bitmap.Height()) * 4 <= segment->Size())
            return segment->Id();
    }
    return std::nullopt;
}

core::Bitmap XScreenGrab::Copy(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) return core::Bitmap(0, 0, x_.screen->root_depth);
    if (shmAvailable_) {
        try {
            std::unique_ptr<SharedImageSegment> segment = GrabIntoSegment(x, y, width, height);
            // The server's words are 0x??RRGGBB in our own byte order: the
            // segment is the bitmap. Otherwise its bytes are put in order.
            if (!msbFirst_ && std::endian::native == std::endian::little)
                return LendAsBitmap(std::move(segment), width, height);
            core::Bitmap bitmap = ToBitmap(reinterpret_cast<const uint8_t*>(segment->Pixels()), width, height);
            segments_->spare = std::move(segment);
            return bitmap;
        } catch (const core::Error&) {
            // A server that announces MIT-SHM but cannot reach our memory
            // (another machine, another container): use GetImage from now on.
            segments_->spare.reset();
            shmAvailable_ = false;
        }
    }
    return CopyWithGetImage(x, y, width, height);
}

core::Bitmap XScreenGrab::CopyWithGetImage(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) return core::Bitmap(0, 0, x_.screen->root_depth);
    auto cookie = xcb_get_image(x_.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, x_.root, int16_t(x), int16_t(y),
                                uint16_t(width), uint16_t(height), ~0u);
    auto reply = Own(xcb_get_image_reply(x_.connection, cookie, nullptr));
    if (!reply || (reply->depth != 24 && reply->depth != 32) ||
        size_t(xcb_get_image_data_length(reply.get())) < size_t(width) * height * 4)
        throw core::Error(kCannotDraw);
    return ToBitmap(xcb_get_image_data(reply.get()), width, height);
}

int XScreenGrab::Depth() const { return x_.screen->root_depth == 32 ? 32 : 24; }

// The server's 32-bit pixels as 0x00RRGGBB words; the unused top byte of a
// depth-24 pixel is cleared.
core::Bitmap XScreenGrab::ToBitmap(const uint8_t* data, int width, int height) const {
    core::Bitmap bitmap(width, height, Depth());
    uint32_t* out = bitmap.Data();
    const size_t count = size_t(width) * size_t(height);
    if (!msbFirst_) {
        const uint32_t* in = reinterpret_cast<const uint32_t*>(data);
        for (size_t i = 0; i < count; ++i) out[i] = in[i] & 0x00FFFFFFu;
    } else {
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = data + i * 4;
            out[i] = (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
        }
    }
    return bitmap;
}

}  // namespace kwp::qt
