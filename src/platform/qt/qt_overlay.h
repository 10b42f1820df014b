#pragma once
// The capture overlay: frameless, stay-on-top, covering the primary display
// exactly. It shows the program's bitmap 1:1 in device pixels whatever Qt's
// scale factor, straight from the bitmap's memory (no copy), repaints only
// what it is told changed, and reports the pointer in device pixels.
#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>

#include "core/bitmap.h"
#include "platform/platform.h"

namespace kwp::qt {

class OverlayWidget : public QWidget {
public:
    OverlayWidget(platform::Platform& platform, platform::OverlayEvents events);

    void SetPicture(const core::Bitmap* picture);
    void InvalidatePicture(const core::Rect& area);  // picture pixels

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // The picture's top-left corner in device pixels of the client area: the
    // picture is centred at its natural size.
    QPoint PictureOrigin() const;
    QPoint DevicePosition(const QMouseEvent* event) const;
    void Rewrap();

    platform::Platform& platform_;
    platform::OverlayEvents events_;
    const core::Bitmap* picture_ = nullptr;
    QImage image_;  // the bitmap's memory seen as a QImage
    std::optional<QPoint> native_;  // device position of the last pointer event from X
};

class QtOverlay : public platform::OverlayWindow {
public:
    QtOverlay(platform::Platform& platform, platform::OverlayEvents events);
    ~QtOverlay() override;

    void SetPicture(const core::Bitmap* picture) override { widget_->SetPicture(picture); }
    void Invalidate(const core::Rect& area) override { widget_->InvalidatePicture(area); }
    void ShowMaximized() override;
    void Hide() override { widget_->hide(); }
    bool Visible() const override { return widget_->isVisible(); }

    QWidget* Widget() const { return widget_.get(); }

private:
    std::unique_ptr<OverlayWidget> widget_;
};

}  // namespace kwp::qt
