#include "components/image.h"

namespace kwp {

void TImage::SetPicture(core::Bitmap picture) {
    picture_ = std::move(picture);
    canvas_.emplace(picture_);
    window_.SetPicture(&picture_);
}

void TImage::RepaintChanges() {
    core::Rect dirty = canvas_->TakeDirty();
    if (!dirty.Empty()) window_.Invalidate(dirty);
}

}  // namespace kwp
