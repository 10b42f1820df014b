#include "components/image.h"

namespace kwp {

void TImage::SetPicture(core::Bitmap picture) {
    picture_ = std::move(picture);
    canvas_.emplace(picture_);
    window_.SetPicture(&picture_);
}

void TImage::RepaintChanges() {
    for (const core::Rect& part : canvas_->TakeDirty()) window_.Invalidate(part);
}

}  // namespace kwp
