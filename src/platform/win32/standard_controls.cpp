#include "platform/win32/standard_controls.h"

#include "platform/win32/text.h"

namespace kwp::platform::win32 {

std::string WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

LabelControl::LabelControl(FormContext& form, HWND parent, Bounds bounds, const std::string& text, FontKind font,
                           TextColor color)
    : NativeControl(form, parent, bounds, font), color_(color) {
    Adopt(CreateControlWindow(static_cast<NativeControl*>(this), Spec(L"STATIC", Wide(text), SS_LEFT)));
}

MemoControl::MemoControl(FormContext& form, HWND parent, Bounds bounds, const std::vector<std::string>& lines)
    : NativeControl(form, parent, bounds, FontKind::Small) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
    Adopt(CreateControlWindow(static_cast<NativeControl*>(this),
                              Spec(L"EDIT", Wide(text), ES_MULTILINE | ES_READONLY | WS_TABSTOP)));
}

void MemoControl::SetFocus() { ::SetFocus(Handle()); }
bool MemoControl::Focused() const { return GetFocus() == Handle(); }

EditControl::EditControl(FormContext& form, HWND parent, Bounds bounds, const std::string& text)
    : NativeControl(form, parent, bounds, FontKind::Window) {
    Adopt(CreateControlWindow(static_cast<NativeControl*>(this),
                              Spec(L"EDIT", Wide(text), ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE)));
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
                              Spec(L"BUTTON", Wide(caption), BS_AUTOCHECKBOX | WS_TABSTOP)));
    SetChecked(checked);
}

void CheckBoxControl::SetFocus() { ::SetFocus(Handle()); }
bool CheckBoxControl::Focused() const { return GetFocus() == Handle(); }
bool CheckBoxControl::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void CheckBoxControl::SetChecked(bool checked) {
    SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace kwp::platform::win32
