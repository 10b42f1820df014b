#pragma once
// A raised panel that holds controls of its own.
#include "platform/win32/container.h"

namespace kwp::platform::win32 {

class PanelControl : public NativeControl, private MessageTarget, public ContainerOn<Panel> {
public:
    PanelControl(FormContext& form, HWND parent, Bounds bounds);
    ~PanelControl() override;

    void SetFocus() override;
    bool Focused() const override;

private:
    FormContext& Context() override { return form_; }
    HWND Host() const override { return Handle(); }
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Paint();
};

template <typename Interface>
Panel* ContainerOn<Interface>::AddPanel(Bounds bounds, int tabOrder) {
    return Keep(std::make_unique<PanelControl>(Context(), Host(), bounds), tabOrder);
}

}  // namespace kwp::platform::win32
