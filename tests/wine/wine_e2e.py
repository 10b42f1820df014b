#!/usr/bin/env python3
"""End-to-end tests of the Windows program under Wine: a user's session on a
virtual 1920x1080 screen, checked by what lands on screen, on disk and on the
clipboard. The scenarios run in order on one fresh Wine prefix.

Usage: wine_e2e.py --exe build-win32/kwpshot.exe --probe build-win32/win_probe.exe
                   [--screenshots DIR]
(win_probe.exe, from tests/wine/win_probe.cpp, plays another program and the
taskbar, and reads window state that X does not show.)
Ends with the line "N passed, M failed"; exit status 1 when any failed."""
import argparse
import os
import stat
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, Timeout, wait_for  # noqa: E402
import pictures  # noqa: E402

TITLE = "Pixnab简体中文免费版V3.02.29"
MESSAGE_CAPTION = "信息框"
CLIENT = (375, 298)
# The settings a first Save writes with the default values: GBK key names,
# CR LF line ends.
EXPECTED_INI = (b"[jtzl]\r\n\xbd\xd8\xcd\xbc\xd6\xca\xc1\xbf=50\r\n"
                b"[HotKey2]\r\n\xbd\xd8\xcd\xbc\xc8\xc8\xbc\xfc=16465\r\n"
                b"[yincang]\r\n\xd2\xfe\xb2\xd8=0\r\n")
# The region the capture selects, clicked far corner first.
REGION = (600, 300, 300, 220)
# The region selected while another program holds the clipboard.
BUSY_REGION = (700, 350, 240, 160)
QUALITY = 50
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msimg32.dll",
               "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
               "uxtheme.dll", "version.dll", "winmm.dll", "ws2_32.dll"}


class Suite:
    def __init__(self, exe, probe, screenshots):
        self.exe = os.path.abspath(exe)
        self.probe = os.path.abspath(probe)
        self.screenshots = screenshots
        self.desktop = None
        self.program = None
        self.results = []

    # ---------------------------------------------------------------- helpers

    def shot(self, name, **options):
        if self.screenshots:
            os.makedirs(self.screenshots, exist_ok=True)
            self.desktop.screenshot(os.path.join(self.screenshots, name), **options)

    def ini_path(self):
        return os.path.join(self.desktop.prefix, "drive_c", "windows", "kwpshot.ini")

    def main_window(self):
        return self.desktop.wait_window(TITLE)

    def error_report(self):
        """The default error report on screen (captioned with the
        application title, as the main window is), or None."""
        return next((w for w in self.desktop.windows() if w.name == TITLE and (w.width, w.height) != CLIENT), None)

    def program_windows(self, title):
        """The visible top-level windows of the program that has a window
        named `title`, as Windows sees them, topmost first: dicts of hwnd,
        class, owner, taskbar, tool, topmost, enabled, capture."""
        rows = []
        for line in self.desktop.run_program(self.probe, "windows", title).splitlines():
            fields = line.split()
            if len(fields) >= 2:
                rows.append(dict([("hwnd", fields[0]), ("class", fields[1])] +
                                 [field.split("=", 1) for field in fields[2:]]))
        return rows

    def taskbar_entries(self, title):
        return [row for row in self.program_windows(title) if row["taskbar"] == "1"]

    def control(self, left, top, width, height):
        """The screen point in the middle of a control placed at its designed
        client position."""
        window = self.main_window()
        return window.x + left + width // 2, window.y + top + height // 2

    def panel_control(self, left, top, width, height):
        return self.control(left, 141 + top, width, height)

    def dismiss_message(self):
        box = self.desktop.wait_window(MESSAGE_CAPTION)
        self.desktop.activate(box)
        self.desktop.key("Return")
        self.desktop.wait_gone(MESSAGE_CAPTION)

    def tray_icon(self):
        """The point on the program's icon in Wine's own tray window."""
        tray = self.desktop.wait_window("Wine System Tray")
        return tray.x + 10, tray.y + 10

    # ---------------------------------------------------------------- scenarios

    def test_imports_only_system_dlls(self):
        dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", self.exe], capture_output=True, text=True,
                              check=True).stdout
        names = {line.split(":", 1)[1].strip().lower() for line in dump.splitlines() if "DLL Name:" in line}
        assert names, "no import table"
        assert names <= SYSTEM_DLLS, "imports beyond the system: %s" % sorted(names - SYSTEM_DLLS)

    def test_first_start_shows_window_and_no_file(self):
        self.program = self.desktop.start_program(self.exe)
        window = self.desktop.wait_window(TITLE, timeout=60)
        assert (window.width, window.height) == CLIENT, window
        centre_x = (self.desktop.width - window.width) // 2
        centre_y = (self.desktop.height - window.height) // 2

        def centred():
            # The window manager may show the mapped window at 0,0 a moment
            # before it takes the position the program gave it.
            shown = self.desktop.window(TITLE)
            if shown and abs(shown.x - centre_x) <= 10 and abs(shown.y - centre_y) <= 40:
                return shown
            return None
        try:
            window = wait_for("the window to be centred", centred, timeout=5)
        except Timeout:
            raise AssertionError("not centred: %r" % self.desktop.window(TITLE))
        time.sleep(0.5)
        assert not os.path.exists(self.ini_path()), "a settings file exists before any Save"
        self.shot("wine-main-window.png", crop=(window.x - 10, window.y - 30, window.width + 20, window.height + 40))

    def set_quality(self, text):
        self.desktop.click(*self.panel_control(232, 3, 49, 23))
        self.desktop.key("End", "shift+Home", "BackSpace")
        self.desktop.type(text)

    def test_bad_quality_shows_its_box(self):
        self.set_quality("abc")
        self.desktop.click(*self.panel_control(160, 59, 68, 30))  # Save
        box = self.desktop.wait_window(MESSAGE_CAPTION)
        self.shot("wine-quality-message.png", crop=(box.x - 40, box.y - 40, box.width + 80, box.height + 80))
        self.dismiss_message()
        assert self.desktop.window(TITLE), "the main window went away"
        assert not os.path.exists(self.ini_path()), "a refused Save wrote the settings"

    def test_second_copy_is_refused(self):
        second = self.desktop.start_program(self.exe)
        box = self.desktop.wait_window(MESSAGE_CAPTION, timeout=60)
        self.shot("wine-second-copy.png", crop=(box.x - 40, box.y - 40, box.width + 80, box.height + 80))
        titled = [w for w in self.desktop.windows() if w.name == TITLE]
        assert len(titled) == 1, "a second main window: %r" % titled
        self.dismiss_message()
        code = second.wait(timeout=30)
        assert code == 0, "the refused copy ended with %d" % code
        assert self.program.poll() is None, "the first copy ended"

    def test_save_writes_settings(self):
        self.set_quality(str(QUALITY))
        self.desktop.click(*self.panel_control(160, 59, 68, 30))  # Save
        self.desktop.wait_gone(TITLE)
        written = wait_for("the settings file", lambda: os.path.exists(self.ini_path()) and
                           open(self.ini_path(), "rb").read())
        assert written == EXPECTED_INI, "settings file: %r" % written

    def test_hotkey_starts_capture(self):
        self.pattern = os.path.join(self.desktop.root, "pattern.ppm")
        pictures.write_ppm(self.pattern, pictures.pattern_rows(0, 0, self.desktop.width, self.desktop.height),
                           self.desktop.width)
        self.desktop.set_background(self.pattern)
        probe = (REGION[0] + 7, REGION[1] + 5)
        assert self.desktop.pixel(*probe) == pictures.pattern_pixel(*probe), "the pattern is not on the screen"
        # Wine hears hotkeys only while one of its windows has the X focus.
        self.desktop.activate(self.desktop.wait_window("Wine System Tray"))
        self.desktop.key("ctrl+q")
        self.desktop.wait_window("Form5")
        whole = (0, 0, self.desktop.width, self.desktop.height)

        def covers_the_screen():
            overlay = self.desktop.window("Form5")
            return overlay and (overlay.x, overlay.y, overlay.width, overlay.height) == whole

        # Under load, Wine may show it at its restored size for a moment.
        try:
            wait_for("the overlay to cover the screen", covers_the_screen, timeout=5)
        except AssertionError:
            raise AssertionError("overlay %r" % self.desktop.window("Form5"))

    def test_overlay_has_no_taskbar_entry(self):
        overlay = self.desktop.wait_window("Form5")
        rows = self.program_windows("Form5")
        shown = next(row for row in rows if row["class"] == "KwpshotOverlay")
        assert shown["tool"] == "1", "the overlay is no tool window (it shows in Alt+Tab): %r" % shown
        assert not [row for row in rows if row["taskbar"] == "1"], "a taskbar entry while the overlay shows: %r" % rows
        states = self.desktop.states(overlay)
        assert {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"} <= states, "overlay states %r" % states

    def test_two_clicks_and_the_dialog(self):
        left, top, width, height = REGION
        self.desktop.move(left + width + 20, top + height + 20)
        self.desktop.click(left + width, top + height)  # the far corner first
        self.desktop.move(left + 40, top + 30)
        self.desktop.move(left, top)
        self.shot("wine-overlay.png", scale="50%")
        self.desktop.click(left, top)
        dialog = self.desktop.wait_window("Save As")
        self.shot("wine-save-dialog.png", crop=(dialog.x - 10, dialog.y - 30, dialog.width + 20,
                                                dialog.height + 40))
        assert self.desktop.window("Form5") is None, "the overlay is still shown"
        self.output = os.path.join(self.desktop.root, "out", "region.jpg")
        os.makedirs(os.path.dirname(self.output))
        self.desktop.activate(dialog)
        self.desktop.type(self.desktop.windows_path(self.output))
        self.desktop.key("Return")
        self.desktop.wait_gone("Save As")
        self.jpeg = wait_for("the JPEG", lambda: os.path.exists(self.output) and
                             open(self.output, "rb").read()[:2] == b"\xff\xd8" and open(self.output, "rb").read())

    def test_jpeg_has_the_region(self):
        left, top, width, height = REGION
        problems = pictures.jpeg_problems(self.jpeg, width, height)
        assert not problems, problems
        decoded = subprocess.run(["djpeg", "-ppm"], input=self.jpeg, capture_output=True, check=True).stdout
        w, h, rows = pictures.read_ppm(decoded)
        assert (w, h) == (width, height)
        difference = pictures.mean_difference(rows, pictures.pattern_rows(left, top, width, height))
        assert difference < 3.0, "decoded pixels differ from the screen by %.2f on average" % difference

    def test_jpeg_is_byte_identical_to_the_linux_encoder(self):
        # The Linux build's encoder writes exactly what cjpeg writes with these
        # options (checked by the core tests), so this is the Linux output.
        left, top, width, height = REGION
        crop = os.path.join(self.desktop.root, "region.ppm")
        pictures.write_ppm(crop, pictures.pattern_rows(left, top, width, height), width)
        reference = subprocess.run(["cjpeg", "-dct", "float", "-baseline", "-quality", str(QUALITY), crop],
                                   capture_output=True, check=True).stdout
        assert self.jpeg == reference, "JPEG differs: %d bytes, Linux encoder %d bytes" % (
            len(self.jpeg), len(reference))

    def test_clipboard_has_the_region(self):
        left, top, width, height = REGION
        data = wait_for("a bitmap on the clipboard", lambda: self.desktop.clipboard("image/bmp"))
        w, h, rows = pictures.read_bmp(data)
        assert (w, h) == (width, height), "clipboard bitmap %dx%d" % (w, h)
        assert rows == pictures.pattern_rows(left, top, width, height), "clipboard pixels differ from the screen"

    def test_a_file_that_cannot_be_made_shows_the_error_report(self):
        left, top, width, height = REGION
        self.desktop.activate(self.desktop.wait_window("Wine System Tray"))
        self.desktop.key("ctrl+q")
        self.desktop.wait_window("Form5")
        self.desktop.click(left, top)
        self.desktop.click(left + 10, top + 10)
        dialog = self.desktop.wait_window("Save As")
        missing = os.path.join(self.desktop.root, "no-such-folder", "region.jpg")
        self.desktop.activate(dialog)
        self.desktop.key("ctrl+a", "BackSpace")
        self.desktop.type(self.desktop.windows_path(missing))
        self.desktop.key("Return")
        box = wait_for("the error report", self.error_report)
        self.shot("wine-error-report.png", crop=(box.x - 40, box.y - 40, box.width + 80, box.height + 80))
        self.desktop.activate(box)
        self.desktop.key("Return")
        wait_for("the error report to go", lambda: not any(w.name == TITLE for w in self.desktop.windows()))
        assert not os.path.exists(os.path.dirname(missing)), "a folder was made"
        assert self.program.poll() is None, "the program ended"

    def overlay_row(self):
        return next(row for row in self.program_windows("Form5") if row["class"] == "KwpshotOverlay")

    def test_a_busy_clipboard_box_is_in_front_and_modal(self):
        left, top, width, height = BUSY_REGION
        self.desktop.activate(self.desktop.wait_window("Wine System Tray"))
        self.desktop.key("ctrl+q")
        self.desktop.wait_window("Form5")
        # The first click: a press holds the mouse until its release.
        self.desktop.move(left, top)
        self.desktop.press()
        assert self.overlay_row()["capture"] == "1", "the overlay does not hold the mouse while a button is down"
        self.desktop.release()
        assert self.overlay_row()["capture"] == "0", "the overlay holds the mouse after the release"

        holder = self.desktop.start_program(self.probe, "hold-clipboard", stdin=subprocess.PIPE,
                                            stdout=subprocess.PIPE)
        try:
            assert holder.stdout.readline().strip() == b"held", "the helper could not take the clipboard"
            self.desktop.click(left + width, top + height)  # the second click
            box = wait_for("the error report", self.error_report)
            stacked = self.desktop.stacking()
            assert stacked[-1] == str(int(box.id, 16)), "the box %r is not the topmost window: %r" % (box, stacked)
            rows = self.program_windows("Form5")
            assert rows[0]["class"] == "#32770", "the box is not in front of the overlay: %r" % rows
            assert self.overlay_row()["enabled"] == "0", "the overlay takes input while the box shows"
            self.shot("wine-busy-clipboard.png", scale="50%")
            # A click on the overlay meanwhile changes nothing.
            self.desktop.click(200, 200)
            time.sleep(0.5)
            boxes = [w for w in self.desktop.windows() if w.name == TITLE]
            assert len(boxes) == 1, "boxes after a click on the overlay: %r" % boxes
            assert self.desktop.stacking()[-1] == str(int(box.id, 16)), "the box went behind the overlay"
            self.desktop.activate(box)
            self.desktop.key("Return")
            wait_for("the box to go", lambda: self.error_report() is None)
        finally:
            holder.stdin.close()
            holder.wait(timeout=30)
        # As a busy clipboard leaves it: the overlay shows the region, centred,
        # and the next press is the first click of a new selection.
        assert self.desktop.window("Form5"), "the overlay went away"
        origin_x, origin_y = (self.desktop.width - width) // 2, (self.desktop.height - height) // 2
        for dx, dy in ((0, 0), (width - 1, height - 1), (width // 2, height // 3)):
            shown = self.desktop.pixel(origin_x + dx, origin_y + dy)
            assert shown == pictures.pattern_pixel(left + dx, top + dy), "the region is not shown centred"
        self.desktop.click(100, 100)
        time.sleep(1)
        assert self.desktop.window("Save As") is None, "the press was taken as a second click"
        self.desktop.click(150, 120)
        dialog = self.desktop.wait_window("Save As")
        self.desktop.activate(dialog)
        self.desktop.key("Escape")
        self.desktop.wait_gone("Save As")
        self.desktop.wait_gone("Form5")
        assert self.program.poll() is None, "the program ended"

    def test_taskbar_minimize_hides_the_main_window(self):
        self.desktop.click(*self.tray_icon())
        self.main_window()
        rows = self.program_windows(TITLE)
        main = next(row for row in rows if row["class"] == "KwpshotMainWindow")
        entries = [row for row in rows if row["taskbar"] == "1"]
        assert len(entries) == 1 and entries[0]["hwnd"] == main["owner"], \
            "the taskbar entry is not on the main window's owner: %r" % rows
        # What a click on the entry of the active application sends.
        self.desktop.run_program(self.probe, "minimize", entries[0]["hwnd"])
        self.desktop.wait_gone(TITLE)
        assert not self.taskbar_entries(TITLE), "a taskbar entry is left"
        assert self.program.poll() is None, "the program ended"
        # Shown again from the tray, with its entry.
        self.desktop.click(*self.tray_icon())
        self.main_window()
        assert len(self.taskbar_entries(TITLE)) == 1, "no taskbar entry for the main window shown again"
        # Hidden again, as the scenarios after this one expect it.
        self.desktop.run_program(self.probe, "minimize", self.taskbar_entries(TITLE)[0]["hwnd"])
        self.desktop.wait_gone(TITLE)

    def test_replacing_a_private_file_keeps_it_private(self):
        # The new file is made with the old one's access list, which Wine keeps
        # as Unix permission bits: never readable by others meanwhile. (Wine maps
        # the list back only roughly, owner and group alike; others get nothing.)
        left, top, width, height = REGION
        private = os.path.join(self.desktop.root, "out", "private.jpg")
        with open(private, "wb") as f:
            f.write(b"old")
        os.chmod(private, 0o600)
        self.desktop.activate(self.desktop.wait_window("Wine System Tray"))
        self.desktop.key("ctrl+q")
        self.desktop.wait_window("Form5")
        self.desktop.click(left, top)
        self.desktop.click(left + 10, top + 10)
        dialog = self.desktop.wait_window("Save As")
        self.desktop.activate(dialog)
        self.desktop.key("ctrl+a", "BackSpace")
        self.desktop.type(self.desktop.windows_path(private))
        self.desktop.key("Return")
        self.desktop.wait_gone("Save As")
        wait_for("the JPEG", lambda: open(private, "rb").read()[:2] == b"\xff\xd8")
        mode = stat.S_IMODE(os.stat(private).st_mode)
        assert mode & 0o007 == 0, "the replaced file has mode %o" % mode
        left_over = sorted(os.listdir(os.path.dirname(private)))
        assert left_over == ["private.jpg", "region.jpg"], "files in the folder: %r" % left_over

    def test_esc_cancels_a_capture(self):
        left, top, _, _ = REGION
        clipboard = self.desktop.clipboard("image/bmp")
        files = sorted(os.listdir(os.path.dirname(self.output)))
        # Esc with the crosshair only, then half-way through a selection.
        for half_way in (False, True):
            self.desktop.activate(self.desktop.wait_window("Wine System Tray"))
            self.desktop.key("ctrl+q")
            # Wine hands an X window the keyboard only when the window manager
            # activates it; openbox does not do so for the freshly shown tool
            # window that Windows makes the foreground window. Activate it as
            # Windows would have.
            self.desktop.activate(self.desktop.wait_window("Form5"))
            self.desktop.move(left, top)
            if half_way:
                self.desktop.click(left, top)
                self.desktop.move(left + 50, top + 40)
            self.desktop.key("Escape")
            self.desktop.wait_gone("Form5", timeout=10)
            time.sleep(1)
            names = {w.name for w in self.desktop.windows()}
            assert not names & {"Save As", MESSAGE_CAPTION, TITLE}, "a window after Esc: %r" % names
        assert self.desktop.clipboard("image/bmp") == clipboard, "Esc changed the clipboard"
        assert sorted(os.listdir(os.path.dirname(self.output))) == files, "Esc wrote a file"
        # A fresh capture: its first click fixes a corner, no dialog follows.
        self.desktop.activate(self.desktop.wait_window("Wine System Tray"))
        self.desktop.key("ctrl+q")
        self.desktop.wait_window("Form5")
        self.desktop.click(left, top)
        time.sleep(1)
        assert self.desktop.window("Save As") is None, "the first click of a new capture ended it"
        self.desktop.key("Escape")
        self.desktop.wait_gone("Form5", timeout=10)

    def test_tray_opens_and_its_menu_exits(self):
        self.desktop.click(*self.tray_icon())
        self.desktop.wait_window(TITLE)
        before = open(self.ini_path(), "rb").read()
        x, y = self.tray_icon()
        self.desktop.click(x, y, button=3)
        menu = wait_for("the tray menu", self.tray_menu)
        self.desktop.move(menu.x + menu.width // 2, menu.y + menu.height // 4)
        self.shot("wine-tray-menu.png", crop=(0, 0, max(menu.x + menu.width + 40, 300), menu.y + menu.height + 40))
        # Two items; the second is Exit. Wine's menu takes the mouse only.
        self.desktop.click(menu.x + menu.width // 2, menu.y + menu.height * 3 // 4)
        code = self.program.wait(timeout=30)
        assert code == 0, "the program ended with %d" % code
        assert open(self.ini_path(), "rb").read() == before, "exit changed the settings file"

    def test_a_gbk_quality_shows_as_its_characters(self):
        # The stored quality 五十 is GBK bytes in the file; the box holds it in
        # its own characters (copied out of it with Ctrl+C).
        with open(self.ini_path(), "wb") as f:
            f.write(EXPECTED_INI.replace(b"=50\r\n", b"=\xce\xe5\xca\xae\r\n"))
        self.program = self.desktop.start_program(self.exe)
        self.desktop.wait_window(TITLE, timeout=60)
        self.desktop.click(*self.panel_control(232, 3, 49, 23))
        self.desktop.key("End", "shift+Home", "ctrl+c")
        wait_for("text on the clipboard", lambda: b"UTF8_STRING" in self.desktop.clipboard("TARGETS"))
        copied = self.desktop.clipboard("UTF8_STRING").decode("utf-8", "replace")
        assert copied == "五十", "the quality box holds %r" % copied
        x, y = self.tray_icon()
        self.desktop.click(x, y, button=3)
        menu = wait_for("the tray menu", self.tray_menu)
        self.desktop.click(menu.x + menu.width // 2, menu.y + menu.height * 3 // 4)  # Exit
        code = self.program.wait(timeout=30)
        assert code == 0, "the program ended with %d" % code

    def tray_menu(self):
        known = {TITLE, "Wine System Tray", "Form5", "Default IME"}
        listed = self.desktop._run(["xdotool", "search", "--onlyvisible", "--classname", "kwpshot.exe"],
                                   check=False).split()
        for w in self.desktop.windows_by_id(listed):
            if w.name not in known and w.width < 400 and w.height < 200:
                return w
        return None

    # ---------------------------------------------------------------- running

    def run(self):
        scenarios = [getattr(self, name) for name in Suite.__dict__ if name.startswith("test_")]
        started = time.monotonic()
        try:
            self.desktop = Desktop()
            print("desktop ready in %.1f s" % (time.monotonic() - started), flush=True)
            for scenario in scenarios:
                if scenario.__name__ != "test_imports_only_system_dlls" and any(not ok for _, ok in self.results):
                    # Each scenario builds on the ones before it.
                    print("SKIP %s (an earlier scenario failed)" % scenario.__name__, flush=True)
                    continue
                t = time.monotonic()
                try:
                    scenario()
                    self.results.append((scenario.__name__, True))
                    print("PASS %s (%.1f s)" % (scenario.__name__, time.monotonic() - t), flush=True)
                except Exception as error:  # noqa: BLE001 - every failure is reported
                    self.results.append((scenario.__name__, False))
                    print("FAIL %s: %s" % (scenario.__name__, error), flush=True)
                    if not isinstance(error, AssertionError):
                        traceback.print_exc()
                    self.shot("failure-%s.png" % scenario.__name__)
        finally:
            if self.desktop:
                self.desktop.close()
        passed = sum(ok for _, ok in self.results)
        failed = len(scenarios) - passed
        print("Wine suite took %.1f s" % (time.monotonic() - started))
        print("%d passed, %d failed" % (passed, failed))
        return failed == 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--screenshots", default="")
    args = parser.parse_args()
    sys.exit(0 if Suite(args.exe, args.probe, args.screenshots).run() else 1)


if __name__ == "__main__":
    main()
