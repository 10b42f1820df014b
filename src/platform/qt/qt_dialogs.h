#pragma once
// Modal message boxes and the save dialog, owned by the application.
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

class QFileDialog;

namespace kwp::qt {

// A box with the caption, the icon the flags name (0x10 error, 0x20 question,
// 0x30 warning, 0x40 information) and one OK button; returns when dismissed.
void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags);

// The save dialog: the filter's "Description|pattern" pairs, the default
// suffix added to a name typed without one, the last path offered again, and
// no overwrite question. The desktop's own dialog where it offers one, else
// Qt's. One dialog serves the whole program, made at its first use: a new
// one for every capture would write Qt's dialog settings on its way out and
// leave its icons in Qt's caches each time.
class SaveDialog {
public:
    SaveDialog();
    ~SaveDialog();
    SaveDialog(const SaveDialog&) = delete;
    SaveDialog& operator=(const SaveDialog&) = delete;

    std::optional<std::string> Run(const platform::SaveDialogOptions& options);

private:
    std::unique_ptr<QFileDialog> dialog_;
};

// "JPEG Image File (*.jpg)|*.jpg" as Qt's name filters.
QStringList NameFilters(const std::string& filter);

}  // namespace kwp::qt
