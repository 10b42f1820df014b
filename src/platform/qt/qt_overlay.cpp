#include "qt_overlay.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <cmath>
#include <optional>

#include "qt_dispatch.h"
#include "x_pointer_event.h"
#include "qt_look.h"

namespace kwp::qt {

namespace {

// More device pixels than any window has.
const QRect kEverything(-32768, -32768, 65536, 65536);

// The device pixels under a logical rectangle.
QRect DeviceRect(const QRect& logical, qreal dpr) {
    return QRect(QPoint(int(std::floor(logical.left() * dpr)), int(std::floor(logical.top() * dpr))),
                 QPoint(int(std::ceil((logical.right() + 1) * dpr)) - 1,
                        int(std::ceil((logical.bottom() + 1) * dpr)) - 1));
}

// The logical pixels Qt's update() takes over device pixels, rounded outwards.
QRect LogicalRect(const QRect& device, qreal dpr) {
    return QRect(QPoint(int(std::floor(device.left() / dpr)), int(std::floor(device.top() / dpr))),
                 QPoint(int(std::ceil((device.right() + 1) / dpr)) - 1,
                        int(std::ceil((device.bottom() + 1) / dpr)) - 1));
}

core::Rect ToRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

}  // namespace

OverlayWidget::OverlayWidget(platform::Platform& platform, platform::OverlayEvents events, const XScreenGrab* grab)
    : platform_(platform), events_(std::move(events)), grab_(grab) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowTitle("Form5");
    // Every pixel is painted from the picture: no background erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    // Without an X grab (Wayland) Qt's painter draws the changed rectangles
    // from the bitmap's memory into the window's buffer.
    if (!grab_) return;
    // The X window exists from here on, so its pixel format can be checked.
    setAttribute(Qt::WA_PaintOnScreen);
    PaintNatively();
}

OverlayWidget::~OverlayWidget() = default;

QPaintEngine* OverlayWidget::paintEngine() const {
    // Painting on screen without an engine: paintEvent draws through X itself.
    return painter_ ? nullptr : QWidget::paintEngine();
}

bool OverlayWidget::PaintNatively() {
    const auto window = xcb_window_t(winId());
    if (!painter_ || painter_->Window() != window) {
        painter_.reset();
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (x11) painter_ = XPicturePainter::For(x11->connection(), window);
        stale_ = kEverything;
        paints_.clear();
    }
    setAttribute(Qt::WA_PaintOnScreen, painter_ != nullptr);
    return painter_ != nullptr;
}

void OverlayWidget::hideEvent(QHideEvent*) {
    wayland_.reset();  // the window's surface goes with the hide
    stale_ = kEverything;
    paints_.clear();
}

void OverlayWidget::resizeEvent(QResizeEvent*) { stale_ = kEverything; }

void OverlayWidget::SetPicture(const core::Bitmap* picture) {
    picture_ = picture;
    stale_ = kEverything;
    Rewrap();
    update();
}

void OverlayWidget::Rewrap() {
    if (!picture_ || picture_->Empty()) {
        image_ = QImage();
        return;
    }
    // The 0x00RRGGBB words are read as RGB32 in place; the const constructor
    // never copies or writes them.
    image_ = QImage(reinterpret_cast<const uchar*>(picture_->Data()), picture_->Width(), picture_->Height(),
                    qsizetype(picture_->Width()) * 4, QImage::Format_RGB32);
}

QPoint OverlayWidget::PictureOrigin() const {
    const qreal dpr = devicePixelRatioF();
    const int clientWidth = qRound(width() * dpr), clientHeight = qRound(height() * dpr);
    if (!picture_ || picture_->Empty()) return {};
    return {(clientWidth - picture_->Width()) / 2, (clientHeight - picture_->Height()) / 2};
}

void OverlayWidget::InvalidatePicture(const core::Rect& area) {
    if (area.Empty()) return;
    const QPoint origin = PictureOrigin();
    const QRect device(area.left + origin.x(), area.top + origin.y(), area.Width(), area.Height());
    if (wayland_ && picture_) {
        if (const auto pixels = SharedPixelsOf(*picture_); pixels && wayland_->Showing(*pixels)) {
            wayland_->Damage(QRect(area.left, area.top, area.Width(), area.Height()));
            return;
        }
    }
    stale_ += device;
    update(LogicalRect(device, devicePixelRatioF()));
}

void OverlayWidget::paintEvent(QPaintEvent* event) {
    if (testAttribute(Qt::WA_PaintOnScreen) && !PaintNatively()) {
        // The window was made anew with pixels of another kind: Qt paints it.
        update();
        return;
    }
    if (painter_) PaintWithX(event->region());
    else PaintWithQPainter(event->region());
}

void OverlayWidget::PaintWithX(const QRegion& region) {
    const qreal dpr = devicePixelRatioF();
    const QPoint origin = PictureOrigin();
    const core::Rect picture =
        picture_ ? core::Rect{origin.x(), origin.y(), origin.x() + picture_->Width(), origin.y() + picture_->Height()}
                 : core::Rect{};
    const std::optional<xcb_shm_seg_t> segment = picture_ && grab_ ? grab_->SegmentOf(*picture_) : std::nullopt;
    const QColor face = ButtonFace();
    const uint32_t faceRgb = core::Rgb(uint8_t(face.red()), uint8_t(face.green()), uint8_t(face.blue()));
    QRegion asked;
    for (const QRect& logical : region) asked += DeviceRect(logical, dpr);
    const QRegion todo = asked & stale_;
    stale_ -= asked;
    for (const QRect& rect : todo) {
        const core::Rect device = ToRect(rect);
        const core::Rect shown = device.Intersect(picture);
        if (shown.Empty()) {
            painter_->Fill(device, faceRgb);
            continue;
        }
        // The button face around the picture, never under it: no flicker.
        painter_->Fill({device.left, device.top, device.right, shown.top}, faceRgb);
        painter_->Fill({device.left, shown.bottom, device.right, device.bottom}, faceRgb);
        painter_->Fill({device.left, shown.top, shown.left, shown.bottom}, faceRgb);
        painter_->Fill({shown.right, shown.top, device.right, shown.bottom}, faceRgb);
        painter_->Put(*picture_, segment,
                      {shown.left - origin.x(), shown.top - origin.y(), shown.right - origin.x(),
                       shown.bottom - origin.y()},
                      shown.left, shown.top);
    }
    if (const std::optional<uint32_t> sequence = painter_->Flush()) {
        constexpr size_t kPaintsKept = 8;  // an older expose merely repaints
        if (paints_.size() == kPaintsKept) paints_.erase(paints_.begin());
        paints_.push_back({*sequence, todo});
    }
}

// Pixels the server lost are stale unless a paint it carried out after the
// loss covered them: X handles one connection's requests and events in order.
void OverlayWidget::Exposed(const QRect& device, uint32_t sequence) {
    QRegion lost(device);
    for (const Paint& paint : paints_)
        if (int32_t(paint.sequence - sequence) > 0) lost -= paint.region;
    if (lost.isEmpty()) return;
    stale_ += lost;
    update(LogicalRect(lost.boundingRect(), devicePixelRatioF()));
}

void OverlayWidget::PaintWithQPainter(const QRegion& region) {
    // The program may have given the bitmap new memory since it was wrapped.
    if (picture_ && (image_.isNull() || image_.constBits() != reinterpret_cast<const uchar*>(picture_->Data()) ||
                     image_.width() != picture_->Width() || image_.height() != picture_->Height()))
        Rewrap();
    const bool elsewhere = ShowInSubsurface();
    QPainter painter(this);
    const qreal dpr = devicePixelRatioF();
    image_.setDevicePixelRatio(dpr);
    const QPoint origin = PictureOrigin();
    const QRect pictureRect(origin, image_.size());
    for (const QRect& logical : region) {
        const QRect device = DeviceRect(logical, dpr);
        const QRect shown = device.intersected(pictureRect);
        if (shown != device) painter.fillRect(logical, ButtonFace());
        if (!shown.isEmpty() && !elsewhere)
            painter.drawImage(QPointF(shown.left() / dpr, shown.top() / dpr), image_,
                              shown.translated(-origin));
    }
}

bool OverlayWidget::ShowInSubsurface() {
    const qreal dpr = devicePixelRatioF();
    const int scale = qRound(dpr);
    const std::optional<SharedPixels> pixels =
        picture_ && !grab_ && qFuzzyCompare(dpr, qreal(scale)) ? SharedPixelsOf(*picture_) : std::nullopt;
    if (!pixels) {
        if (wayland_) wayland_->Clear();
        return false;
    }
    if (!wayland_ || wayland_->Parent() != WlPictureSurface::SurfaceOf(windowHandle()))
        wayland_ = WlPictureSurface::For(windowHandle());
    if (!wayland_) return false;
    if (!wayland_->Showing(*pixels))
        wayland_->Show(*pixels, QSize(picture_->Width(), picture_->Height()), PictureOrigin(), scale);
    return true;
}

QPoint OverlayWidget::DevicePosition(const QMouseEvent* event) const {
    const qreal dpr = devicePixelRatioF();
    const QPointF p = event->position() * dpr;
    const QPoint rounded(int(std::floor(p.x() + 0.5)), int(std::floor(p.y() + 0.5)));
    // Qt hands widgets whole logical pixels; when scaled, the X event that
    // carried this one knows the exact device pixel.
    if (native_ && std::abs(native_->x() - rounded.x()) <= std::ceil(dpr) &&
        std::abs(native_->y() - rounded.y()) <= std::ceil(dpr))
        return *native_;
    return rounded;
}

bool OverlayWidget::nativeEvent(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const xcb_generic_event_t* event = static_cast<xcb_generic_event_t*>(message);
    if (auto position = PointerPosition(event)) native_ = position;
    if (painter_ && (event->response_type & 0x7F) == XCB_EXPOSE) {
        const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event);
        if (expose->window == painter_->Window())
            Exposed(QRect(expose->x, expose->y, expose->width, expose->height), event->full_sequence);
    }
    return false;  // Qt goes on with the event as usual
}

void OverlayWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = DevicePosition(event);
    if (events_.onMouseMove) RunHandler(platform_, [&] { events_.onMouseMove(p.x(), p.y()); });
}

void OverlayWidget::mousePressEvent(QMouseEvent* event) {
    // A double click's second press arrives here too (QWidget's default
    // double-click handler), so it counts as a click of its own.
    platform::MouseButton button;
    switch (event->button()) {
        case Qt::LeftButton: button = platform::MouseButton::Left; break;
        case Qt::RightButton: button = platform::MouseButton::Right; break;
        case Qt::MiddleButton: button = platform::MouseButton::Middle; break;
        default: return;
    }
    const QPoint p = DevicePosition(event);
    if (events_.onMouseDown) RunHandler(platform_, [&] { events_.onMouseDown(button, p.x(), p.y()); });
}

void OverlayWidget::closeEvent(QCloseEvent* event) {
    // Closed by the window system (Alt+F4 and the like): only hidden.
    event->accept();
    if (events_.onClosedByWindowSystem) RunHandler(platform_, events_.onClosedByWindowSystem);
}

QtOverlay::QtOverlay(platform::Platform& platform, platform::OverlayEvents events, const XScreenGrab* grab)
    : widget_(std::make_unique<OverlayWidget>(platform, std::move(events), grab)) {}

QtOverlay::~QtOverlay() = default;

void QtOverlay::ShowMaximized() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        widget_->setScreen(screen);
        widget_->setGeometry(screen->geometry());
    }
    // Full screen rather than maximized: a maximized window stops at panels
    // and docks, and the overlay must cover the whole primary display.
    widget_->showFullScreen();
    widget_->raise();
    widget_->activateWindow();
}

}  // namespace kwp::qt
