#pragma once
// The interface that stands in for the window library. The program's modules
// are written against it once; a backend (headless, Qt, Win32) turns native
// events into calls of the program and the program's requests into native
// calls. No OS or toolkit header may be included here.
//
// Rules for every backend:
//  - Every program callback (button click, timer tick, mouse event, hotkey,
//    tray click, menu item) is run through Dispatch() (dispatch.h), which shows
//    the default error report for an error the handler let through.
//  - Texts are UTF-8. Method names avoid the Win32 API's macro names.
//  - Operations that can fail throw core::Error with the system's own text.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/day_number.h"
#include "core/file_io.h"
#include "core/geometry.h"

namespace kwp::platform {

using Handler = std::function<void()>;

// Position and size of a control in pixels, relative to its parent.
struct Bounds {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Bounds&) const = default;
};

// Window font: "宋体" 15 px (falls back to a Chinese font the system has).
// Small font: "MS Sans Serif" 11 px (or the system's nearest sans font).
enum class FontKind { Window, Small };
enum class TextColor { WindowText, Red, Blue };

// Pictures held with the windows.
enum class Resource { None, Banner, GlyphSave, GlyphExit, GlyphCapture, TrayIcon };

enum class MouseButton { Left, Right, Middle };

// Message-box flags (the system's values).
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconInformation = 0x40;

// ---------------------------------------------------------------- controls

class Control {
public:
    virtual ~Control() = default;
};

// A control that can hold the keyboard focus.
class FocusControl : public Control {
public:
    virtual void SetFocus() = 0;
    virtual bool Focused() const = 0;
};

class Label : public Control {};

// A graphic button that never takes the keyboard focus. The letter after "&"
// in its caption is underlined and Alt with that letter clicks it.
class SpeedButton : public Control {};

// A picture stretched to fill the control, with the hand-point cursor.
class Picture : public Control {};

// Read-only multi-line text.
class Memo : public FocusControl {};

class Edit : public FocusControl {
public:
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
};

// The platform's standard hotkey control. It shows the key with its Shift,
// Ctrl and Alt modifiers; a value written into it is kept as
// core::HotKeyBoxValue() says and shown unchanged; a key typed into it with no
// modifier or with Shift alone gets Ctrl added (core::TypedHotKeyValue);
// an empty box reads 0.
class HotKeyBox : public FocusControl {
public:
    virtual uint16_t Value() const = 0;
    virtual void SetValue(uint16_t value) = 0;
};

class CheckBox : public FocusControl {
public:
    virtual bool Checked() const = 0;
    virtual void SetChecked(bool checked) = 0;
};

class Panel;

// Something controls are created on: a window or a panel. The container owns
// what it creates; the returned pointers stay valid as long as it lives.
// The tab order counts within the container.
class Container {
public:
    virtual ~Container() = default;
    virtual Label* AddLabel(Bounds bounds, const std::string& text, FontKind font, TextColor color) = 0;
    virtual SpeedButton* AddSpeedButton(Bounds bounds, const std::string& caption, Resource glyph,
                                        Handler onClick) = 0;
    virtual Picture* AddPicture(Bounds bounds, Resource picture, Handler onClick) = 0;
    virtual Memo* AddMemo(Bounds bounds, const std::vector<std::string>& lines, int tabOrder) = 0;
    virtual Panel* AddPanel(Bounds bounds, int tabOrder) = 0;
    virtual Edit* AddEdit(Bounds bounds, const std::string& text, int tabOrder) = 0;
    virtual HotKeyBox* AddHotKeyBox(Bounds bounds, uint16_t value, int tabOrder) = 0;
    virtual CheckBox* AddCheckBox(Bounds bounds, const std::string& caption, bool checked, int tabOrder) = 0;
};

// A raised panel; its controls use the window font unless told otherwise.
class Panel : public FocusControl, public Container {};

// ---------------------------------------------------------------- windows

// The main window: fixed dialog frame, system menu and close button only,
// button-face colour, window font. The first one created is the application's
// main window: closing it (its close button or Close()) ends the message loop.
// Minimizing the application hides it (the tray icon stays). It has a taskbar
// entry exactly while it is visible.
class Window : public Container {
public:
    // Changes the client size, the top-left corner staying where it is.
    virtual void SetClientSize(int width, int height) = 0;
    // Visible and in front (the foreground window). Centred on the primary
    // display the first time it is shown.
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual bool Visible() const = 0;
    virtual void Close() = 0;
    // Switches the window's skin (its own look, title bar and menus) on.
    virtual void ActivateSkin() = 0;
};

// What the overlay reports: pointer moves and button presses in client
// pixels, and a close by the window system (after which it is hidden).
struct OverlayEvents {
    std::function<void(int x, int y)> onMouseMove;
    std::function<void(MouseButton button, int x, int y)> onMouseDown;
    Handler onClosedByWindowSystem;
};

// The capture overlay: borderless, topmost, covering the primary display
// exactly when shown, pointer tracking on. It shows a picture centred at its
// natural size, 1:1 in device pixels, from a bitmap the program owns.
class OverlayWindow {
public:
    virtual ~OverlayWindow() = default;
    // The picture to show; null for none. It must outlive its use here.
    virtual void SetPicture(const core::Bitmap* picture) = 0;
    // The picture changed inside `area` (picture pixels): repaint that part.
    virtual void Invalidate(const core::Rect& area) = 0;
    // Maximized over the primary display, activated, in front.
    virtual void ShowMaximized() = 0;
    virtual void Hide() = 0;
    virtual bool Visible() const = 0;
};

// A window-message timer. Enabling creates the system timer; when none is
// left it throws core::Error("Not enough timers available"). Enabling a timer
// that is already enabled changes nothing.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
};

struct MenuItem {
    std::string caption;
    Handler onClick;
};

// The notification-area icon, present while the object lives. A left press
// and release raises onClick; a right press opens the menu at the pointer
// with its right edge there. It is added again when the tray is recreated.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;
};

// The single-instance guard's hold. Destroying it gives the hold up; the
// system gives it up as well when the process ends in any way.
class SessionLock {
public:
    virtual ~SessionLock() = default;
    // True when the named lock had a holder before this one was created.
    virtual bool AlreadyExisted() const = 0;
};

// What another start of the program in the same session can ask of the copy
// that runs there (`kwpshot --capture`, `kwpshot --show`).
enum class Command { Capture, Show };

struct SaveDialogOptions {
    std::string filter;      // "Description|pattern" pairs, as "JPEG Image File (*.jpg)|*.jpg"
    std::string defaultExt;  // without a dot, "jpg"
    std::string fileName;    // offered pre-filled; empty for none
};

// ---------------------------------------------------------------- platform

class Platform {
public:
    virtual ~Platform() = default;

    // Application.
    virtual std::unique_ptr<SessionLock> CreateSessionLock(const std::string& name) = 0;
    virtual void SetApplicationTitle(const std::string& title) = 0;
    virtual std::string ApplicationTitle() const = 0;
    // Modal, owned by the application; returns when the user dismissed it.
    virtual void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
    // Runs until the main window is closed.
    virtual void RunMessageLoop() = 0;
    // Makes the application's own top-level window the foreground window.
    virtual void BringApplicationToFront() = 0;
    // Opens an address with the desktop's handler; never blocks, result unused.
    virtual void OpenWithShell(const std::string& address) = 0;
    // Today's local date.
    virtual core::Date Today() const = 0;

    // Commands. Once the message loop runs, this start's own command (none
    // for a plain start) and every command a later start hands over reach
    // `handler`, one at a time, through Dispatch.
    virtual void SetCommandHandler(std::function<void(Command)> handler) = 0;
    // For a start that found the guard held: hands this start's command to
    // the copy that holds it. False for a plain start, or when no copy took it.
    virtual bool HandCommandToRunningCopy() = 0;

    // Windows and components. The first window created is the main window.
    virtual std::unique_ptr<Window> NewWindow(const std::string& caption, int clientWidth, int clientHeight) = 0;
    virtual std::unique_ptr<OverlayWindow> NewOverlay(OverlayEvents events) = 0;
    virtual std::unique_ptr<Timer> NewTimer(int intervalMs, Handler onTimer) = 0;
    virtual std::unique_ptr<TrayIcon> NewTrayIcon(const std::string& hint, Resource icon,
                                                  std::vector<MenuItem> menu, Handler onClick) = 0;

    // System-wide hotkeys: global atoms and hotkey registration on the
    // platform's hidden hotkey window, whose hotkey messages reach `handler`
    // with the message's two parameters.
    virtual uint16_t AddGlobalAtom(const std::string& name) = 0;  // 0 on failure
    virtual void DeleteGlobalAtom(uint16_t atom) = 0;
    virtual bool RegisterSystemHotKey(int id, uint32_t systemModifiers, uint8_t virtualKey) = 0;
    virtual void UnregisterSystemHotKey(int id) = 0;
    virtual void SetHotKeyHandler(std::function<void(uint32_t wParam, uint32_t lParam)> handler) = 0;

    // The primary display, in physical pixels, read afresh at each call.
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
    // A 1:1 copy of the primary display's (0, 0, width, height), in the
    // display's depth. Throws core::Error("Canvas does not allow drawing")
    // when the screen cannot be read.
    virtual core::Bitmap CopyScreen(int width, int height) = 0;

    // Empties the clipboard and puts one bitmap entry on it (none for an empty
    // bitmap). Throws core::Error("Cannot open clipboard").
    virtual void SetClipboardBitmap(const core::Bitmap& bitmap) = 0;

    // The modal save dialog, without an overwrite question: the chosen path,
    // or nothing when cancelled.
    virtual std::optional<std::string> RunSaveDialog(const SaveDialogOptions& options) = 0;

    // Files. Read throws "Cannot open file ..."; Replace writes the whole file
    // so that a failure leaves the old one whole, and throws "Cannot create
    // file ...".
    virtual core::Bytes ReadFileBytes(const std::string& path) = 0;
    virtual void ReplaceFileBytes(const std::string& path, const core::Bytes& bytes) = 0;

    // The settings file, by its bare name: the system's private-profile
    // functions or the same rules on a file in the platform's one fixed
    // location. Section and key are the file's bytes. Read gives the value
    // (unquoted, at most 2047 bytes) or `fallback`; Write returns false when
    // the file could not be written.
    virtual std::string ProfileRead(const std::string& file, const std::string& section, const std::string& key,
                                    const std::string& fallback) = 0;
    virtual bool ProfileWrite(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& value) = 0;
};

}  // namespace kwp::platform
