#pragma once
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace kwp::platform::win32 {

// The system's save-file dialog, modal to `owner`, without an overwrite
// question: the chosen path, or nothing when cancelled.
std::optional<std::string> RunSaveFileDialog(HWND owner, const SaveDialogOptions& options);

// "Description|pattern|..." as the dialog's filter: NUL-separated, ending in
// two NULs.
std::wstring DialogFilter(const std::string& filter);

}  // namespace kwp::platform::win32
