#pragma once
// Modal message boxes and the save dialog, owned by the application.
#include <QStringList>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace kwp::qt {

// A box with the caption, the icon the flags name (0x10 error, 0x20 question,
// 0x30 warning, 0x40 information) and one OK button; returns when dismissed.
void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags);

// The save dialog: the filter's "Description|pattern" pairs, the default
// suffix added to a name typed without one, the last path offered again, and
// no overwrite question. The desktop's own dialog where it offers one, else
// Qt's.
std::optional<std::string> RunSaveDialog(const platform::SaveDialogOptions& options);

// "JPEG Image File (*.jpg)|*.jpg" as Qt's name filters.
QStringList NameFilters(const std::string& filter);

}  // namespace kwp::qt
