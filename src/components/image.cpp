#include "components/image.h"

#include <utility>

namespace kwp {

void TImage::SetPicture(core::Bitmap picture) {
    picture_ = std::move(picture);
    canvas_.emplace(picture_);
    window_.SetPicture(&picture_);
}

void TImage::CropPicture(const core::Rect& region) {
    core::Bitmap picture = std::move(picture_);
    picture.CropInPlace(region);
    SetPicture(std::move(picture));
}

void TImage::RepaintChanges() {
    for (const core::Rect& part : canvas_->TakeDirty()) window_.Invalidate(part);
}

}  // namespace kwp
