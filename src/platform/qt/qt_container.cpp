#include "qt_container.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <algorithm>
#include <limits>

#include "qt_controls.h"
#include "qt_dispatch.h"
#include "qt_hotkey_box.h"
#include "qt_look.h"
#include "qt_resources.h"

namespace kwp::qt {

namespace {

void Place(QWidget* widget, platform::Bounds b) { widget->setGeometry(b.left, b.top, b.width, b.height); }

void Colour(QWidget* widget, QPalette::ColorRole role, platform::TextColor color) {
    QPalette palette = widget->palette();
    palette.setColor(role, ColorOf(color));
    widget->setPalette(palette);
    widget->setProperty("kwpColor", ColorName(color));  // for the skin
}

}  // namespace

QtContainer::QtContainer(platform::Platform& platform, QWidget* widget, std::function<void()> changed)
    : platform_(platform), widget_(widget), changed_(std::move(changed)) {}

template <typename T>
T* QtContainer::Keep(std::unique_ptr<T> control) {
    T* raw = control.get();
    controls_.push_back(std::move(control));
    if (changed_) changed_();
    return raw;
}

void QtContainer::AddTabStop(TabStop stop) {
    tabStops_.push_back(stop);
    // Stable: controls with the same number keep their creation order.
    std::stable_sort(tabStops_.begin(), tabStops_.end(),
                     [](const TabStop& a, const TabStop& b) { return a.order < b.order; });
}

void QtContainer::AppendFocusChain(std::vector<QWidget*>& chain) const {
    for (const TabStop& stop : tabStops_) {
        if (stop.inner)
            stop.inner->AppendFocusChain(chain);
        else
            chain.push_back(stop.widget);
    }
}

platform::Label* QtContainer::AddLabel(platform::Bounds bounds, const std::string& text, platform::FontKind font,
                                       platform::TextColor color) {
    auto* label = new QLabel(QString::fromStdString(text), widget_);
    Place(label, bounds);
    label->setFont(FontOf(font));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Colour(label, QPalette::WindowText, color);
    return Keep(std::make_unique<QtLabel>());
}

platform::SpeedButton* QtContainer::AddSpeedButton(platform::Bounds bounds, const std::string& caption,
                                                   platform::Resource glyph, platform::Handler onClick) {
    auto* button = new QToolButton(widget_);
    Place(button, bounds);
    // A graphic button: a click leaves the focus where it was. "&" in the
    // caption underlines the letter and makes Alt+letter click it.
    button->setFocusPolicy(Qt::NoFocus);
    button->setText(QString::fromStdString(caption));
    button->setFont(SmallFont());
    Colour(button, QPalette::ButtonText, platform::TextColor::Blue);
    button->setCursor(Qt::PointingHandCursor);
    const QPixmap pixmap = ResourcePixmap(glyph);
    if (!pixmap.isNull()) {
        button->setIcon(QIcon(pixmap));
        button->setIconSize(pixmap.size());
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    } else {
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    platform::Platform& platform = platform_;
    QObject::connect(button, &QToolButton::clicked, button,
                     [&platform, onClick = std::move(onClick)] { RunHandler(platform, onClick); });
    return Keep(std::make_unique<QtSpeedButton>());
}

platform::Picture* QtContainer::AddPicture(platform::Bounds bounds, platform::Resource picture,
                                           platform::Handler onClick) {
    platform::Platform& platform = platform_;
    auto* label = new ClickablePicture(widget_, [&platform, onClick = std::move(onClick)] {
        RunHandler(platform, onClick);
    });
    Place(label, bounds);
    label->setPixmap(ResourcePixmap(picture));  // stretched to the control
    return Keep(std::make_unique<QtPicture>());
}

platform::Memo* QtContainer::AddMemo(platform::Bounds bounds, const std::vector<std::string>& lines, int tabOrder) {
    auto* memo = new QPlainTextEdit(widget_);
    Place(memo, bounds);
    QStringList text;
    for (const std::string& line : lines) text << QString::fromStdString(line);
    memo->setPlainText(text.join('\n'));
    memo->setReadOnly(true);
    memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memo->setFocusPolicy(Qt::StrongFocus);
    memo->setFont(SmallFont());
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->document()->setDocumentMargin(2);
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, ButtonFace());
    palette.setColor(QPalette::Text, ColorOf(platform::TextColor::WindowText));
    memo->setPalette(palette);
    AddTabStop({tabOrder, memo});
    return Keep(std::make_unique<QtMemo>(memo));
}

platform::Panel* QtContainer::AddPanel(platform::Bounds bounds, int tabOrder) {
    auto* frame = new QFrame(widget_);
    frame->setObjectName("kwpshotPanel");
    Place(frame, bounds);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(1);
    auto panel = std::make_unique<QtPanel>(platform_, frame, changed_);
    AddTabStop({tabOrder, frame, &panel->Controls()});
    return Keep(std::move(panel));
}

platform::Edit* QtContainer::AddEdit(platform::Bounds bounds, const std::string& text, int tabOrder) {
    auto* edit = new QLineEdit(QString::fromStdString(text), widget_);
    Place(edit, bounds);
    edit->setMaxLength(std::numeric_limits<int>::max());  // no length limit
    AddTabStop({tabOrder, edit});
    return Keep(std::make_unique<QtEdit>(edit));
}

platform::HotKeyBox* QtContainer::AddHotKeyBox(platform::Bounds bounds, uint16_t value, int tabOrder) {
    auto* edit = new HotKeyEdit(widget_);
    Place(edit, bounds);
    edit->SetValue(value);
    AddTabStop({tabOrder, edit});
    return Keep(std::make_unique<QtHotKeyBox>(edit));
}

platform::CheckBox* QtContainer::AddCheckBox(platform::Bounds bounds, const std::string& caption, bool checked,
                                             int tabOrder) {
    auto* box = new QCheckBox(QString::fromStdString(caption), widget_);
    Place(box, bounds);
    box->setFont(SmallFont());
    box->setChecked(checked);
    AddTabStop({tabOrder, box});
    return Keep(std::make_unique<QtCheckBox>(box));
}

QtPanel::QtPanel(platform::Platform& platform, QFrame* frame, std::function<void()> changed)
    : frame_(frame), controls_(platform, frame, std::move(changed)) {}

void QtPanel::SetFocus() {
    std::vector<QWidget*> chain;
    controls_.AppendFocusChain(chain);
    if (!chain.empty()) chain.front()->setFocus(Qt::OtherFocusReason);
}

bool QtPanel::Focused() const { return frame_->hasFocus(); }

}  // namespace kwp::qt
