#include "platform/win32/save_dialog.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "platform/win32/text.h"

namespace kwp::platform::win32 {

std::wstring DialogFilter(const std::string& filter) {
    std::wstring wide = Wide(filter);
    for (wchar_t& c : wide)
        if (c == L'|') c = L'\0';
    wide.push_back(L'\0');
    wide.push_back(L'\0');
    return wide;
}

std::optional<std::string> RunSaveFileDialog(HWND owner, const SaveDialogOptions& options) {
    const std::wstring filter = DialogFilter(options.filter);
    const std::wstring defaultExt = Wide(options.defaultExt);
    std::wstring offered = Wide(options.fileName);

    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<wchar_t> name(32768, L'\0');
        offered.copy(name.data(), std::min(offered.size(), name.size() - 1));

        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = filter.c_str();
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = name.data();
        dialog.nMaxFile = static_cast<DWORD>(name.size());
        dialog.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
        dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER;
        if (GetSaveFileNameW(&dialog)) return Utf8(name.data());
        // A pre-filled name the dialog refuses would keep it from opening at
        // all: offer an empty one instead.
        if (CommDlgExtendedError() == FNERR_INVALIDFILENAME && !offered.empty()) {
            offered.clear();
            continue;
        }
        break;
    }
    return std::nullopt;
}

}  // namespace kwp::platform::win32
