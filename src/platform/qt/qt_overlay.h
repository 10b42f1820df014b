#pragma once
// The capture overlay: frameless, stay-on-top, covering the primary display
// exactly. It shows the program's bitmap 1:1 in device pixels whatever Qt's
// scale factor, straight from the bitmap's memory (no copy), repaints only
// what it is told changed, and reports the pointer in device pixels.
//
// It paints its X window itself (no backing store): a screen grab's bitmap is
// the shared segment the server wrote it into, so the server shows it from
// there. Where the window's pixels differ from the bitmap's words, Qt's
// painter draws it instead.
#include <QImage>
#include <QRegion>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "core/bitmap.h"
#include "platform/platform.h"
#include "wl_picture_surface.h"
#include "x_picture_painter.h"
#include "x_screen_grab.h"

namespace kwp::qt {

class OverlayWidget : public QWidget {
public:
    // `grab` tells which bitmaps live in shared segments; null where there
    // is no X screen grab (Wayland): then Qt paints.
    OverlayWidget(platform::Platform& platform, platform::OverlayEvents events, const XScreenGrab* grab);
    ~OverlayWidget() override;

    void SetPicture(const core::Bitmap* picture);
    void InvalidatePicture(const core::Rect& area);  // picture pixels

    QPaintEngine* paintEngine() const override;

    // For measurements: the picture is shown by a Wayland sub-surface, and
    // waiting until the compositor has taken every change sent so far.
    bool PictureInSubsurface() const { return wayland_ != nullptr; }
    void RoundTripWithCompositor() {
        if (wayland_) wayland_->RoundTrip();
    }

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
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
    // True when the native painter fits the current X window; else Qt paints.
    bool PaintNatively();
    void PaintWithX(const QRegion& region);
    void PaintWithQPainter(const QRegion& region);
    // On Wayland a picture in shared memory is shown by a sub-surface of its
    // own; true when it is (then Qt paints only around it).
    bool ShowInSubsurface();
    // The server lost `device` pixels at `sequence`: stale unless painted since.
    void Exposed(const QRect& device, uint32_t sequence);

    platform::Platform& platform_;
    platform::OverlayEvents events_;
    const XScreenGrab* grab_;
    std::unique_ptr<XPicturePainter> painter_;  // null while Qt's painter draws
    std::unique_ptr<WlPictureSurface> wayland_;  // the picture's sub-surface, while shown
    // Device pixels of the window that may not show the picture: changed
    // since painted, hidden, or lost in the server (an X Expose not followed
    // by a paint). Qt asks for more paints than that (a show, and the expose
    // it brings, both ask for everything); the rest is on screen already.
    QRegion stale_;
    // The latest paints: the first request's sequence number and the device
    // pixels painted, to tell an X Expose the server sent before them.
    struct Paint {
        uint32_t sequence;
        QRegion region;
    };
    std::vector<Paint> paints_;
    const core::Bitmap* picture_ = nullptr;
    QImage image_;  // the bitmap's memory seen as a QImage
    std::optional<QPoint> native_;  // device position of the last pointer event from X
};

class QtOverlay : public platform::OverlayWindow {
public:
    QtOverlay(platform::Platform& platform, platform::OverlayEvents events, const XScreenGrab* grab);
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
