#include "qt_dialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QMessageBox>

namespace kwp::qt {

namespace {

QMessageBox::Icon IconOf(unsigned flags) {
    switch (flags & 0xF0) {
        case 0x10: return QMessageBox::Critical;
        case 0x20: return QMessageBox::Question;
        case 0x30: return QMessageBox::Warning;
        case 0x40: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    QMessageBox box(IconOf(flags), QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);  // seen even while the program is hidden in the tray
    box.exec();
}

QStringList NameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(';', ' ');
        // Qt reads the patterns from the parentheses at the end.
        if (description.endsWith("(" + patterns + ")"))
            filters << description;
        else
            filters << description + " (" + patterns + ")";
    }
    return filters;
}

SaveDialog::SaveDialog() = default;
SaveDialog::~SaveDialog() = default;

std::optional<std::string> SaveDialog::Run(const platform::SaveDialogOptions& options) {
    if (!dialog_) {
        dialog_ = std::make_unique<QFileDialog>();
        dialog_->setAcceptMode(QFileDialog::AcceptSave);
        dialog_->setFileMode(QFileDialog::AnyFile);
        dialog_->setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog_->setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    QFileDialog& dialog = *dialog_;
    dialog.setNameFilters(NameFilters(options.filter));
    QString suffix = QString::fromStdString(options.defaultExt);
    while (suffix.startsWith('*') || suffix.startsWith('.')) suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(QString::fromStdString(options.fileName));
    const int result = dialog.exec();
    // A completion list still open when Return took the name would stay on
    // screen with the kept dialog, holding the keyboard (and the hotkey).
    for (int i = 0; i < 8 && QApplication::activePopupWidget(); ++i) QApplication::activePopupWidget()->close();
    for (QCompleter* completer : dialog.findChildren<QCompleter*>())
        if (completer->popup()) completer->popup()->hide();
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

}  // namespace kwp::qt
