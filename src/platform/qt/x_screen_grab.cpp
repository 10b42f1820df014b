#include "x_screen_grab.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
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
    format_ = XScreenPixelFormat(x_.connection, x_.screen);
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(x_.connection, &xcb_shm_id);
    if (ext && ext->present) {
        auto version = Own(xcb_shm_query_version_reply(x_.connection, xcb_shm_query_version(x_.connection), nullptr));
        shmAvailable_ = version != nullptr;
    }
}

XScreenGrab::~XScreenGrab() = default;

const core::PixelFormat& XScreenGrab::Format() {
    if (!format_) throw core::Error(kCannotDraw);
    // A colour map can change at any time: read it for every grab.
    if (format_->UsesColourMap())
        format_->SetColourMap(ReadColourMap(x_.connection, x_.screen->default_colormap, format_->Depth()));
    return *format_;
}

std::unique_ptr<SharedImageSegment> XScreenGrab::SegmentFor(int width, int height) {
    const size_t bytes = format_->RowBytes(width) * size_t(height);
    std::unique_ptr<SharedImageSegment> segment = std::move(segments_->spare);
    if (!segment || segment->Size() < bytes) {
        segment.reset();
        segment = std::make_unique<SharedImageSegment>(x_.connection, bytes);
    }
    return segment;
}

bool XScreenGrab::GrabInto(const SharedImageSegment& segment, int x, int y, int width, int height) {
    auto cookie = xcb_shm_get_image(x_.connection, x_.root, int16_t(x), int16_t(y), uint16_t(width), uint16_t(height),
                                    ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment.Id(), 0);
    auto reply = Own(xcb_shm_get_image_reply(x_.connection, cookie, nullptr));
    return reply && reply->depth == format_->Depth() && reply->size >= format_->RowBytes(width) * size_t(height);
}

std::unique_ptr<SharedImageSegment> XScreenGrab::GrabIntoSegment(int x, int y, int width, int height) {
    Format();
    std::unique_ptr<SharedImageSegment> segment = SegmentFor(width, height);
    if (!GrabInto(*segment, x, y, width, height)) throw core::Error(kCannotDraw);
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
    if (width <= 0 || height <= 0) return core::Bitmap(0, 0, Depth());
    const core::PixelFormat& format = Format();
    std::unique_ptr<SharedImageSegment> segment;
    if (shmAvailable_) {
        try {
            segment = SegmentFor(width, height);
        } catch (const core::Error&) {
            // A server that announces MIT-SHM but cannot reach our memory
            // (another machine, another container): use GetImage from now on.
            shmAvailable_ = false;
        }
    }
    if (segment && GrabInto(*segment, x, y, width, height)) {
        // The server's words are 0x??RRGGBB in our own byte order: the
        // segment is the bitmap. Other layouts are converted into one.
        if (format.IsNative()) return LendAsBitmap(std::move(segment), width, height);
        core::Bitmap bitmap = ToBitmap(reinterpret_cast<const uint8_t*>(segment->Pixels()), width, height);
        segments_->spare = std::move(segment);
        return bitmap;
    }
    // A grab the server refused this once goes through GetImage; the shared
    // segment stays in use for the next one.
    if (segment) segments_->spare = std::move(segment);
    return CopyWithGetImage(x, y, width, height);
}

core::Bitmap XScreenGrab::CopyWithGetImage(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) return core::Bitmap(0, 0, Depth());
    const core::PixelFormat& format = Format();
    auto cookie = xcb_get_image(x_.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, x_.root, int16_t(x), int16_t(y),
                                uint16_t(width), uint16_t(height), ~0u);
    auto reply = Own(xcb_get_image_reply(x_.connection, cookie, nullptr));
    if (!reply || reply->depth != format.Depth() ||
        size_t(xcb_get_image_data_length(reply.get())) < format.RowBytes(width) * size_t(height))
        throw core::Error(kCannotDraw);
    return ToBitmap(xcb_get_image_data(reply.get()), width, height);
}

// A screen of depth 32 stands for a 32-bit bitmap; every other depth is held
// as 24 bits per pixel.
int XScreenGrab::Depth() const { return x_.screen->root_depth == 32 ? 32 : 24; }

// The server's pixels as 0x00RRGGBB words.
core::Bitmap XScreenGrab::ToBitmap(const uint8_t* data, int width, int height) const {
    core::Bitmap bitmap(width, height, Depth());
    format_->ToWords(data, width, height, bitmap.Data());
    return bitmap;
}

}  // namespace kwp::qt
