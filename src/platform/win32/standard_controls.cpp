#include "platform/win32/standard_controls.h"

#include "platform/win32/text.h"
// After windows.h, which it builds on.
#include <commctrl.h>

namespace kwp::platform::win32 {
namespace {

// A multi-line edit box wants every key; the memo leaves Tab, Enter and Esc
// to the window, so that Tab moves on to the next control.
LRESULT CALLBACK MemoKeys(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, MemoKeys, id);
    LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_GETDLGCODE) result &= ~static_cast<LRESULT>(DLGC_WANTTAB | DLGC_WANTALLKEYS);
    return result;
}

}  // namespace

std::string WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

LabelControl::LabelControl(FormContext& form, HWND parent, Bounds bounds, const std::string& text, FontKind font,
                           TextColor color)
    : NativeControl(form, parent, bounds, font), color_(color) {
    Adopt(CreateControlWindow(static_cast<NativeControl*>(this), Params(L"STATIC", Wide(text), SS_LEFT)));
}

MemoControl::MemoControl(FormContext& form, HWND parent, Bounds bounds, const std::vector<std::string>& lines)
    : NativeControl(form, parent, bounds, FontKind::Small) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
    Adopt(CreateControlWindow(static_cast<NativeControl*>(this),
                              Params(L"EDIT", Wide(text), ES_MULTILINE | ES_READONLY | WS_TABSTOP)));
    SetWindowSubclass(Handle(), MemoKeys, 1, 0);
}

void MemoControl::SetFocus() { ::SetFocus(Handle()); }
bool MemoControl::Focused() const { return GetFocus() == Handle(); }

EditControl::EditControl(FormContext& form, HWND parent, Bounds bounds, const std::string& text)
    : NativeControl(form, parent, bounds, FontKind::Window) {
    Adopt(CreateControlWindow(static_cast<NativeControl*>(this),
                              Params(L"EDIT", Wide(text), ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE)));
    SendMessageW(Handle(), EM_SETLIMITTEXT, 0, 0);  // no length limit
}

void EditControl::SetFocus() { ::SetFocus(Handle()); }
bool EditControl::Focused() const { return GetFocus() == Handle(); }
std::string EditControl::Text() const { return WindowText(Handle()); }
void EditControl::SetText(const std::string& text) { SetWindowTextW(Handle(), Wide(text).c_str()); }

CheckBoxControl::CheckBoxControl(FormContext& form, HWND parent, Bounds bounds, const std::string& caption,
                                 bool checked)
    : NativeControl(form, parent, bounds, FontKind::Small) {
    Adopt(CreateControlWindow(static_cast<NativeControl*>(this),
                              Params(L"BUTTON", Wide(caption), BS_AUTOCHECKBOX | WS_TABSTOP)));
    SetChecked(checked);
}

void CheckBoxControl::SetFocus() { ::SetFocus(Handle()); }
bool CheckBoxControl::Focused() const { return GetFocus() == Handle(); }
bool CheckBoxControl::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void CheckBoxControl::SetChecked(bool checked) {
    SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace kwp::platform::win32
