#include "qt_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "qt_look.h"
#include "qt_resources.h"

namespace kwp::qt {

MainWidget::MainWidget(bool isMain) : isMain_(isMain) {
    setObjectName("kwpshotMain");
    // A fixed dialog frame: title, system menu and close button; no
    // minimize or maximize box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ButtonFace());
    palette.setColor(QPalette::WindowText, ColorOf(platform::TextColor::WindowText));
    setPalette(palette);
    setAutoFillBackground(true);
    setFont(WindowFont());
    setWindowIcon(ApplicationIcon());
}

void MainWidget::closeEvent(QCloseEvent* event) {
    event->accept();
    if (isMain_) QCoreApplication::quit();  // closing the main window ends the program
}

void MainWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        // Minimized to the tray: hidden. The minimized state is cleared only
        // when the window is shown again (clearing it maps the window).
        QTimer::singleShot(0, this, [this] { hide(); });
    }
}

void MainWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The first in the tab order has the focus when the window first appears.
    if (!focusedOnce_ && firstFocus_) {
        focusedOnce_ = true;
        firstFocus_->setFocus(Qt::ActiveWindowFocusReason);
    }
}

QtWindow::QtWindow(platform::Platform& platform, const std::string& caption, int clientWidth, int clientHeight,
                   bool isMain, std::function<void()> activateSkin)
    : widget_(std::make_unique<MainWidget>(isMain)),
      controls_(platform, widget_.get(), [this] { ChainFocus(); }),
      isMain_(isMain),
      activateSkin_(std::move(activateSkin)) {
    widget_->setWindowTitle(QString::fromStdString(caption));
    widget_->setFixedSize(clientWidth, clientHeight);
}

QtWindow::~QtWindow() = default;

void QtWindow::ChainFocus() {
    std::vector<QWidget*> chain;
    controls_.AppendFocusChain(chain);
    for (size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
    widget_->SetFirstFocus(chain.empty() ? nullptr : chain.front());
}

void QtWindow::SetClientSize(int width, int height) {
    // Qt keeps the top-left corner where it is.
    widget_->setFixedSize(width, height);
}

void QtWindow::Show() {
    if (!shownOnce_) {
        shownOnce_ = true;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect area = screen->geometry();
            QRect frame(QPoint(0, 0), widget_->size());
            frame.moveCenter(area.center());
            widget_->move(frame.topLeft());
        }
    }
    if (widget_->windowState() & Qt::WindowMinimized)
        widget_->setWindowState(widget_->windowState() & ~Qt::WindowMinimized);
    widget_->show();
    widget_->raise();
    widget_->activateWindow();
}

void QtWindow::Hide() { widget_->hide(); }

bool QtWindow::Visible() const { return widget_->isVisible(); }

void QtWindow::Close() {
    widget_->close();
    if (isMain_) QCoreApplication::quit();
}

void QtWindow::ActivateSkin() {
    if (activateSkin_) activateSkin_();
}

}  // namespace kwp::qt
