#!/usr/bin/env python3
"""End-to-end tests of the Windows program under Wine: a user's session on a
virtual 1920x1080 screen, checked by what lands on screen, on disk and on the
clipboard. The scenarios run in order on one fresh Wine prefix.

Usage: wine_e2e.py --exe build-win32/kwpshot.exe [--screenshots DIR]
Ends with the line "N passed, M failed"; exit status 1 when any failed."""
import argparse
import os
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, wait_for  # noqa: E402
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
QUALITY = 50
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msimg32.dll",
               "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
               "uxtheme.dll", "version.dll", "winmm.dll", "ws2_32.dll"}


class Suite:
    def __init__(self, exe, screenshots):
        self.exe = os.path.abspath(exe)
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
        assert abs(window.x - centre_x) <= 10 and abs(window.y - centre_y) <= 40, "not centred: %r" % window
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
        overlay = self.desktop.wait_window("Form5")
        assert (overlay.x, overlay.y, overlay.width, overlay.height) == (
            0, 0, self.desktop.width, self.desktop.height), "overlay %r" % overlay

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
        # The default error report: captioned with the application title.
        box = wait_for("the error report", lambda: next(
            (w for w in self.desktop.windows() if w.name == TITLE and (w.width, w.height) != CLIENT), None))
        self.shot("wine-error-report.png", crop=(box.x - 40, box.y - 40, box.width + 80, box.height + 80))
        self.desktop.activate(box)
        self.desktop.key("Return")
        wait_for("the error report to go", lambda: not any(w.name == TITLE for w in self.desktop.windows()))
        assert not os.path.exists(os.path.dirname(missing)), "a folder was made"
        assert self.program.poll() is None, "the program ended"

    def test_esc_cancels_a_capture(self):
        left, top, _, _ = REGION
        clipboard = self.desktop.clipboard("image/bmp")
        files = sorted(os.listdir(os.path.dirname(self.output)))
        # Esc with the crosshair only, then half-way through a selection.
        for half_way in (False, True):
            self.desktop.activate(self.desktop.wait_window("Wine System Tray"))
            self.desktop.key("ctrl+q")
            self.desktop.wait_window("Form5")
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
    parser.add_argument("--screenshots", default="")
    args = parser.parse_args()
    sys.exit(0 if Suite(args.exe, args.screenshots).run() else 1)


if __name__ == "__main__":
    main()
