#include "qt_controls.h"

#include <QMouseEvent>

namespace kwp::qt {

ClickablePicture::ClickablePicture(QWidget* parent, std::function<void()> onClick)
    : QLabel(parent), onClick_(std::move(onClick)) {
    setScaledContents(true);
    setCursor(Qt::PointingHandCursor);
}

void ClickablePicture::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

void ClickablePicture::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click && onClick_) onClick_();
}

}  // namespace kwp::qt
