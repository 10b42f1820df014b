#pragma once
// The controls that are the system's own: label, read-only memo, edit box and
// check box.
#include <string>
#include <vector>

#include "platform/win32/native_control.h"

namespace kwp::platform::win32 {

class LabelControl : public Label, public NativeControl {
public:
    LabelControl(FormContext& form, HWND parent, Bounds bounds, const std::string& text, FontKind font,
                 TextColor color);
    COLORREF ForeColour() const override { return TextColour(color_); }

private:
    TextColor color_;
};

class MemoControl : public Memo, public NativeControl {
public:
    MemoControl(FormContext& form, HWND parent, Bounds bounds, const std::vector<std::string>& lines);
    void SetFocus() override;
    bool Focused() const override;
};

class EditControl : public Edit, public NativeControl {
public:
    EditControl(FormContext& form, HWND parent, Bounds bounds, const std::string& text);
    void SetFocus() override;
    bool Focused() const override;
    std::string Text() const override;
    void SetText(const std::string& text) override;
};

class CheckBoxControl : public CheckBox, public NativeControl {
public:
    CheckBoxControl(FormContext& form, HWND parent, Bounds bounds, const std::string& caption, bool checked);
    void SetFocus() override;
    bool Focused() const override;
    bool Checked() const override;
    void SetChecked(bool checked) override;
};

// The text of a window, as UTF-8.
std::string WindowText(HWND window);

}  // namespace kwp::platform::win32
