#include "platform/win32/tray_icon.h"

#include <shellapi.h>

#include <algorithm>
#include <cwctype>

#include "platform/dispatch.h"
#include "platform/win32/resources.h"
#include "platform/win32/skin.h"
#include "platform/win32/text.h"

namespace kwp::platform::win32 {
namespace {

constexpr wchar_t kClass[] = L"KwpshotTray";
constexpr UINT kCallback = WM_APP + 1;
constexpr UINT kIconId = 1;
constexpr size_t kTipBytes = 127;
constexpr UINT kChineseCodePage = 936;

// The menu's font: the system's menu font, asking for the Chinese character
// set so that the captions show on any system.
FontHandle MenuFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font = metrics.lfMenuFont;
    else
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfCharSet = GB2312_CHARSET;
    return FontHandle(CreateFontIndirectW(&font));
}

}  // namespace

std::wstring TrayTip(const std::string& hint) {
    const std::wstring wide = Wide(hint);
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(kChineseCodePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return wide.substr(0, kTipBytes);  // no such code page here: cut by characters
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(kChineseCodePage, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
    size_t kept = 0;
    while (kept < bytes.size()) {
        const size_t step = static_cast<unsigned char>(bytes[kept]) >= 0x81 ? 2 : 1;  // GBK lead byte
        if (kept + step > kTipBytes) break;
        kept += step;
    }
    const int cutLength = MultiByteToWideChar(kChineseCodePage, 0, bytes.data(), static_cast<int>(kept), nullptr, 0);
    std::wstring tip(static_cast<size_t>(cutLength), L'\0');
    MultiByteToWideChar(kChineseCodePage, 0, bytes.data(), static_cast<int>(kept), tip.data(), cutLength);
    return tip;
}

NotifyIcon::NotifyIcon(Platform& platform, const std::string& hint, std::vector<MenuItem> menu, Handler onClick)
    : platform_(platform),
      tip_(TrayTip(hint)),
      menuItems_(std::move(menu)),
      onClick_(std::move(onClick)),
      icon_(LoadProgramIcon(GetSystemMetrics(SM_CXSMICON))),
      menu_(CreatePopupMenu()),
      menuFont_(MenuFont()),
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
    // The items are drawn by us, in the skin's look.
    for (size_t i = 0; i < menuItems_.size(); ++i) {
        captions_.push_back(Wide(menuItems_[i].caption));
        AppendMenuW(menu_.Get(), MF_OWNERDRAW, i + 1, reinterpret_cast<const wchar_t*>(i));
    }
    RegisterTargetClass(kClass);
    WindowParams params;
    params.className = kClass;
    params.style = WS_POPUP;
    params.x = params.y = params.width = params.height = 0;
    window_ = CreateTargetWindow(*this, params);
    // A shell that is not up yet announces itself with "TaskbarCreated".
    Add();
}

NotifyIcon::~NotifyIcon() {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;
    data.hWnd = window_.Get();
    data.uID = kIconId;
    Shell_NotifyIconW(NIM_DELETE, &data);
}

bool NotifyIcon::Add() {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;
    data.hWnd = window_.Get();
    data.uID = kIconId;
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = kCallback;
    data.hIcon = icon_.Get();
    tip_.copy(data.szTip, std::size(data.szTip) - 1);
    return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void NotifyIcon::OpenMenu() {
    POINT pointer{};
    GetCursorPos(&pointer);
    // The menu closes when the user clicks elsewhere only while its window is
    // in the foreground.
    SetForegroundWindow(window_.Get());
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu_.Get(),
                                                         TPM_RIGHTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                         pointer.x, pointer.y, 0, window_.Get(), nullptr));
    PostMessageW(window_.Get(), WM_NULL, 0, 0);
    if (chosen >= 1 && chosen <= menuItems_.size()) Dispatch(platform_, menuItems_[chosen - 1].onClick);
}

void NotifyIcon::MeasureItem(MEASUREITEMSTRUCT& item) const {
    WindowDc screen(nullptr);
    Selection font(screen.Get(), menuFont_.Get());
    RECT text{};
    DrawTextW(screen.Get(), captions_.at(item.itemData).c_str(), -1, &text, DT_CALCRECT | DT_SINGLELINE);
    const int margin = GetSystemMetrics(SM_CXMENUCHECK);
    item.itemWidth = static_cast<UINT>(text.right - text.left + 2 * margin);
    item.itemHeight = static_cast<UINT>(std::max<LONG>(text.bottom - text.top + 8, GetSystemMetrics(SM_CYMENU)));
}

void NotifyIcon::DrawItem(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    RECT area = item.rcItem;
    if (item.itemState & ODS_SELECTED) {
        skin::Shade(dc, area, skin::kHotTop, skin::kShadeBottom);
        PenHandle border(CreatePen(PS_SOLID, 1, skin::kHotBorder));
        Selection pen(dc, border.Get());
        Selection hollow(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, area.left, area.top, area.right, area.bottom);
    } else {
        BrushHandle face(CreateSolidBrush(skin::kFace));
        FillRect(dc, &area, face.Get());
    }
    Selection font(dc, menuFont_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, skin::kText);
    area.left += GetSystemMetrics(SM_CXMENUCHECK);
    DrawTextW(dc, captions_.at(item.itemData).c_str(), -1, &area, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
}

LRESULT NotifyIcon::MenuChar(wchar_t letter) const {
    const auto upper = static_cast<wchar_t>(std::towupper(letter));
    for (size_t i = 0; i < captions_.size(); ++i)
        if (AcceleratorLetter(captions_[i]) == upper) return MAKELRESULT(i, MNC_EXECUTE);
    return MAKELRESULT(0, MNC_IGNORE);
}

LRESULT NotifyIcon::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCallback && wParam == kIconId) {
        switch (static_cast<UINT>(lParam)) {
            case WM_LBUTTONDOWN:
                leftPressed_ = true;
                break;
            case WM_LBUTTONUP:
                if (std::exchange(leftPressed_, false)) Dispatch(platform_, onClick_);
                break;
            case WM_RBUTTONDOWN:
                leftPressed_ = false;
                OpenMenu();
                break;
        }
        return 0;
    }
    switch (message) {
        case WM_MEASUREITEM:
            MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DRAWITEM:
            DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_MENUCHAR:
            return MenuChar(static_cast<wchar_t>(LOWORD(wParam)));
    }
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        Add();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kwp::platform::win32
