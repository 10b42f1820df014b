#pragma once
// Move-only owners of native handles. Each frees its handle exactly once, in
// its destructor; copying is not possible.
#include <utility>

#include "platform/win32/win32.h"

namespace kwp::platform::win32 {

// Owns a handle of type T; Traits gives the empty value and how to free one.
template <typename T, typename Traits>
class Unique {
public:
    Unique() = default;
    explicit Unique(T handle) : handle_(handle) {}
    ~Unique() { Reset(); }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Empty())) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, Traits::Empty());
        }
        return *this;
    }

    T Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Empty(); }
    // Gives the handle up without freeing it (its new owner frees it).
    T Release() { return std::exchange(handle_, Traits::Empty()); }
    void Reset(T handle = Traits::Empty()) {
        if (handle_ != Traits::Empty()) Traits::Free(handle_);
        handle_ = handle;
    }

private:
    T handle_ = Traits::Empty();
};

struct KernelHandleTraits {
    static HANDLE Empty() { return nullptr; }
    static void Free(HANDLE h) { CloseHandle(h); }
};
// Files use INVALID_HANDLE_VALUE for "none".
struct FileHandleTraits {
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Free(HANDLE h) { CloseHandle(h); }
};
// A window is cut off from its owner object first, so that no message of its
// destruction reaches an object that is going away.
struct WindowTraits {
    static HWND Empty() { return nullptr; }
    static void Free(HWND h) {
        SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        DestroyWindow(h);
    }
};
template <typename G>
struct GdiTraits {
    static G Empty() { return nullptr; }
    static void Free(G h) { DeleteObject(h); }
};
struct IconTraits {
    static HICON Empty() { return nullptr; }
    static void Free(HICON h) { DestroyIcon(h); }
};
struct MenuTraits {
    static HMENU Empty() { return nullptr; }
    static void Free(HMENU h) { DestroyMenu(h); }
};
struct MemoryDcTraits {
    static HDC Empty() { return nullptr; }
    static void Free(HDC h) { DeleteDC(h); }
};

using KernelHandle = Unique<HANDLE, KernelHandleTraits>;
using FileHandle = Unique<HANDLE, FileHandleTraits>;
using WindowHandle = Unique<HWND, WindowTraits>;
using BitmapHandle = Unique<HBITMAP, GdiTraits<HBITMAP>>;
using FontHandle = Unique<HFONT, GdiTraits<HFONT>>;
using BrushHandle = Unique<HBRUSH, GdiTraits<HBRUSH>>;
using PenHandle = Unique<HPEN, GdiTraits<HPEN>>;
using RegionHandle = Unique<HRGN, GdiTraits<HRGN>>;
using IconHandle = Unique<HICON, IconTraits>;
using MenuHandle = Unique<HMENU, MenuTraits>;
using MemoryDc = Unique<HDC, MemoryDcTraits>;

// A window's device context from GetDC, given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    WindowDc(WindowDc&& other) noexcept
        : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDc& operator=(WindowDc&&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint / EndPaint.
class PaintSession {
public:
    explicit PaintSession(HWND window) : window_(window) { BeginPaint(window_, &paint_); }
    ~PaintSession() { EndPaint(window_, &paint_); }
    PaintSession(const PaintSession&) = delete;
    PaintSession& operator=(const PaintSession&) = delete;

    HDC Dc() const { return paint_.hdc; }
    const RECT& Area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
};

// An object selected into a device context, put back on the way out.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The clipboard, open while this lives.
class ClipboardSession {
public:
    explicit ClipboardSession(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~ClipboardSession() {
        if (open_) CloseClipboard();
    }
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;

    bool Open() const { return open_; }

private:
    bool open_;
};

}  // namespace kwp::platform::win32
