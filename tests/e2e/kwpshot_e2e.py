#!/usr/bin/env python3
"""End-to-end tests of the Linux kwpshot: the real program on a virtual X
desktop (Xvfb + openbox + trayer), driven with xdotool as a person would, and
checked by what a person would see or get: windows, boxes, the tray menu, the
settings file, the JPEG, the clipboard.

    kwpshot_e2e.py --program build/kwpshot --scenario NAME [--out DIR] [--docs DIR]
"""
import argparse
import contextlib
import json
import os
import pwd
import shutil
import signal
import socket
import stat
import struct
import subprocess
import sys
import tempfile
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from jpeg_check import check_baseline_jfif  # noqa: E402
from xdesktop import Timeout, XDesktop, im, remove_dir, temp_dir, wait_until  # noqa: E402
from program_facts import (BOX, CHECKBOX1, EDIT1, HIDE_KEY, HOTKEY2, HOTKEY_KEY, MAIN, OVERLAY,  # noqa: E402,F401
                           QUALITY_KEY, SAVE_DIALOG, STARTUP, TITLE, ini_bytes)

# The screenshots kept for the documentation (with --docs).
DOC_SHOTS = {"main-window.png", "overlay-drag.png", "tray-menu.png", "quality-message.png", "second-copy.png"}


class Fixture:
    def __init__(self, args, name, with_tray=True, env=None, depth=24):
        self.args = args
        self.name = name
        self.out = os.path.join(args.out, name)
        os.makedirs(self.out, exist_ok=True)
        self.work = temp_dir("kwpshot-e2e-")
        self.home = os.path.join(self.work, "home")
        self.config = os.path.join(self.work, "config")
        self.runtime = os.path.join(self.work, "run")
        for d in (self.home, self.config, self.runtime):
            os.makedirs(d, mode=0o700)
        self.desktop = XDesktop(self.out, with_tray=with_tray, depth=depth)
        self.extra_env = env or {}
        self.copies = 0

    def __enter__(self):
        self.desktop.__enter__()
        return self

    def __exit__(self, *exc):
        self.desktop.__exit__(*exc)
        remove_dir(self.work)

    @property
    def ini_path(self):
        return os.path.join(self.config, "kwpshot.ini")

    def write_ini(self, data):
        with open(self.ini_path, "wb") as f:
            f.write(data)

    def program_env(self):
        # A scenario's own environment may override these (LANG among them).
        return self.desktop.env(**{**dict(HOME=self.home, XDG_CONFIG_HOME=self.config, XDG_RUNTIME_DIR=self.runtime,
                                          ASAN_OPTIONS="detect_leaks=0", LANG="C.UTF-8", QT_QPA_PLATFORM="xcb",
                                          NO_AT_BRIDGE="1"), **self.extra_env})

    def start_program(self, *arguments, env=None, prefix=()):
        self.copies += 1
        return self.desktop.start([*prefix, self.args.program, *arguments], f"kwpshot-{self.copies}.log",
                                  env=env or self.program_env())

    def run_program(self, *arguments, timeout=STARTUP):
        """Runs a start that is expected to end by itself: (exit code, output)."""
        program = self.start_program(*arguments)
        try:
            code = program.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"kwpshot {' '.join(arguments)} did not end:\n" + program.output())
        return code, program.output()

    def wait_running(self, program):
        """The program has reached its message loop: its tray icon docked."""
        wait_until(lambda: self.desktop.docked_icons() or not program.running(), STARTUP, "the tray icon")
        assert program.running(), "kwpshot ended at start:\n" + program.output()

    def main_window(self, timeout=STARTUP):
        return wait_until(lambda: self.desktop.windows(MAIN) and self.desktop.windows(MAIN)[0], timeout,
                          "the main window")

    def click_in(self, window, point, button=1):
        x, y, _, _ = self.desktop.geometry(window)
        self.desktop.click_at(x + point[0], y + point[1], button)

    def tray_click(self, button):
        x, y, w, h = wait_until(self.desktop.docked_icons, 10, "the tray icon")[0]
        self.desktop.click_at(x + w // 2, y + h // 2, button)

    def dismiss_box(self, box):
        self.desktop.xdotool("windowactivate", "--sync", box)
        self.desktop.key("Return")
        wait_until(lambda: box not in self.desktop.windows(BOX), 10, "the box to close")

    def dismiss_box_titled(self, box):
        """Closes an error report, whose caption is the main window's."""
        self.desktop.xdotool("windowactivate", "--sync", box)
        self.desktop.key("Return")
        wait_until(lambda: box not in self.desktop.windows(MAIN), 10, "the error report to close")

    def exit_through_tray(self, program):
        self.choose_from_tray_menu(1)  # 退出(&Q)
        code = program.wait(timeout=20)
        assert code == 0, f"exit code {code}"

    def tray_menu(self):
        """The tray menu's rectangle while it is open: the program's
        override-redirect window that is not a tooltip."""
        for window in self.desktop.run(["xdotool", "search", "--onlyvisible", "--classname", "kwpshot"],
                                       check=False).split():
            info = self.desktop.run(["xwininfo", "-id", window], check=False)
            kind = self.desktop.run(["xprop", "-id", window, "_NET_WM_WINDOW_TYPE"], check=False)
            if "Override Redirect State: yes" in info and "TOOLTIP" not in kind:
                return self.desktop.geometry(int(window))
        return None

    def choose_from_tray_menu(self, index, items=2, shot=None):
        self.tray_click(3)
        x, y, w, h = wait_until(self.tray_menu, 10, "the tray menu")
        if shot:
            self.shot(shot, (max(x - 40, 0), max(y - 40, 0), w + 80, h + 80))
        self.desktop.click_at(x + w // 2, y + h * (2 * index + 1) // (2 * items))

    def shot(self, name, crop=None):
        path = self.desktop.screenshot(os.path.join(self.out, name), crop)
        if self.args.docs and name in DOC_SHOTS:
            os.makedirs(self.args.docs, exist_ok=True)
            self.desktop.run([im("convert"), path, "-strip", os.path.join(self.args.docs, name)])
        return path

    def window_with_frame(self, window):
        x, y, w, h = self.desktop.geometry(window)
        return (max(x - 8, 0), max(y - 28, 0), w + 16, h + 36)


# ---------------------------------------------------------------- scenarios

def scenario_shown_at_start_and_save(args):
    """No settings file: the window opens with the defaults; Save writes the
    three settings in their sections, hides the window and re-registers the
    hotkey typed into the box."""
    with Fixture(args, "shown_at_start_and_save") as fx:
        program = fx.start_program()
        fx.wait_running(program)
        window = fx.main_window()
        _, _, w, h = fx.desktop.geometry(window)
        assert (w, h) == (375, 298), f"client area {w}x{h}"
        fx.shot("main-window.png", fx.window_with_frame(window))

        fx.click_in(window, EDIT1)
        fx.desktop.key("ctrl+a")
        fx.desktop.type_text("75")
        fx.click_in(window, HOTKEY2)
        fx.desktop.key("shift+F2")  # Shift alone gets Ctrl: 0x4000 + 0x2000 + VK_F2 (0x71) = 24689
        fx.click_in(window, CHECKBOX1)
        fx.desktop.key("alt+y")  # 保存&Y
        wait_until(lambda: not fx.desktop.windows(MAIN), 10, "the window to hide after Save")

        with open(fx.ini_path, "rb") as f:
            data = f.read()
        lines = [line for line in data.split(b"\r\n") if line]
        expected = [line for line in ini_bytes(b"75", b"24689", b"1").split(b"\r\n") if line]
        assert lines == expected, f"settings file {data!r}"
        assert b"\n" not in data.replace(b"\r\n", b""), "lines must end in CR LF"

        # The hotkey now registered is the one typed into the box.
        press_hotkey(fx, "ctrl+shift+F2")
        fx.desktop.click_at(100, 100)
        fx.desktop.click_at(100, 100)  # an empty region: the dialog still opens
        dialog = wait_until(lambda: fx.desktop.windows(SAVE_DIALOG), 15, "the save dialog")
        fx.desktop.xdotool("windowactivate", "--sync", dialog[0])
        fx.desktop.key("Escape")
        wait_until(lambda: not fx.desktop.windows(SAVE_DIALOG), 10, "the dialog to close")
        fx.exit_through_tray(program)


def scenario_hidden_at_start_and_tray(args):
    """Start hidden: only the tray icon; a left click opens the window,
    minimizing hides it, the menu opens it again and its Exit ends the program
    with exit code 0."""
    with Fixture(args, "hidden_at_start_and_tray") as fx:
        fx.write_ini(ini_bytes(hidden=b"2"))
        program = fx.start_program()
        fx.wait_running(program)
        assert not fx.desktop.windows(MAIN), "the window must stay hidden at start"

        # The click counts when the button comes up again.
        x, y, w, h = wait_until(fx.desktop.docked_icons, 10, "the tray icon")[0]
        fx.desktop.xdotool("mousemove", x + w // 2, y + h // 2)
        fx.desktop.xdotool("mousedown", 1)
        try:
            wait_until(lambda: fx.desktop.windows(MAIN), 1.0, "nothing (the button is still down)")
            raise AssertionError("the window opened on the press, before the release")
        except Timeout:
            pass
        fx.desktop.xdotool("mouseup", 1)
        window = fx.main_window(10)
        fx.desktop.xdotool("windowminimize", window)
        wait_until(lambda: not fx.desktop.windows(MAIN), 10, "minimizing to hide the window")

        fx.choose_from_tray_menu(0, shot="tray-menu.png")  # 打开(&O)
        fx.main_window(10)

        fx.exit_through_tray(program)
        wait_until(lambda: not fx.desktop.docked_icons(), 10, "the tray icon to go")


def scenario_quality_messages(args):
    """Save with a quality the check refuses shows the message box, keeps the
    window and writes nothing."""
    with Fixture(args, "quality_messages") as fx:
        program = fx.start_program()
        fx.wait_running(program)
        window = fx.main_window()
        for n, text in enumerate(["abc", "101", ""]):
            fx.click_in(window, EDIT1)
            fx.desktop.key("ctrl+a", "BackSpace")
            if text:
                fx.desktop.type_text(text)
            fx.desktop.key("alt+y")
            box = wait_until(lambda: fx.desktop.windows(BOX), 10, f"the quality message for {text!r}")[0]
            if n == 0:
                fx.shot("quality-message.png", fx.window_with_frame(box))
            fx.dismiss_box(box)
            assert fx.desktop.windows(MAIN), "the window stays open"
            assert not os.path.exists(fx.ini_path), "nothing may be written"
        fx.exit_through_tray(program)


def make_pattern(path, width=1920, height=1080):
    """A smooth picture with no two neighbouring rows or columns alike."""
    subprocess.run([im("convert"), "-size", f"{width}x{height}", "gradient:#ff2000-#0020ff",
                    "(", "-size", f"{height}x{width}", "gradient:#00000000-#00ff00ff", "-rotate", "90", ")",
                    "-compose", "plus", "-composite", "-depth", "8", "PNG24:" + path], check=True)
    return path


def crop(src, rect, dst):
    x, y, w, h = rect
    subprocess.run([im("convert"), src, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "PNG24:" + dst], check=True)
    return dst


def compare(metric, a, b):
    result = subprocess.run([im("compare"), "-metric", metric, a, b, "null:"], capture_output=True)
    return float(result.stderr.split()[0])


def press_hotkey(fx, keys="ctrl+q"):
    """Presses the capture hotkey until the overlay shows. The tray can dock
    the icon a moment before start-up has grabbed the key, so a press right
    after start may come too early; a person would press again."""
    def pressed():
        fx.desktop.key(keys)
        try:
            return wait_until(lambda: fx.desktop.windows(OVERLAY), 3, "the overlay")
        except AssertionError:
            return None
    wait_until(pressed, STARTUP, f"{keys} to start a capture", interval=0)


def capture_region(fx, start, end, mid=None, drag_shot=None):
    """Two clicks on the overlay, with a move in between as a hand makes."""
    wait_until(lambda: fx.desktop.windows(OVERLAY), 15, "the overlay")
    fx.desktop.xdotool("mousemove", *start)
    # The crosshair is drawn: the pixel above the pointer is inverted.
    fx.desktop.click_at(*start)
    fx.desktop.xdotool("mousemove", *(mid or end))
    if drag_shot:
        edge = (start[0] + 1, start[1])
        wait_until(lambda: fx.desktop.pixel(*edge) != fx.expected_pixel(edge), 10, "the outline")
        fx.shot(drag_shot)
    fx.desktop.xdotool("mousemove", *end)
    fx.desktop.click_at(*end)
    return wait_until(lambda: fx.desktop.windows(SAVE_DIALOG), 15, "the save dialog")[0]


def answer_dialog(fx, dialog, path):
    fx.desktop.xdotool("windowactivate", "--sync", dialog)
    fx.desktop.key("ctrl+a")
    fx.desktop.type_text(path)
    fx.desktop.key("Return")
    wait_until(lambda: not fx.desktop.windows(SAVE_DIALOG), 10, "the dialog to close")


def check_output(fx, pattern, region, jpeg_path, quality):
    x, y, w, h = region
    expected = crop(pattern, region, os.path.join(fx.out, "expected.png"))
    data = wait_until(lambda: os.path.exists(jpeg_path) and open(jpeg_path, "rb").read().startswith(b"\xff\xd8")
                      and open(jpeg_path, "rb").read(), 15, "the JPEG")
    check_baseline_jfif(data, w, h, quality)
    psnr = compare("PSNR", jpeg_path, expected)
    assert psnr > 30, f"the JPEG is not the region: PSNR {psnr}"

    clip = fx.desktop.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"], binary=True)
    clip_path = os.path.join(fx.out, "clipboard.png")
    with open(clip_path, "wb") as f:
        f.write(clip)
    differing = compare("AE", clip_path, expected)
    assert differing == 0, f"the clipboard image differs from the region in {differing} pixels"


def scenario_hotkey_capture(args):
    """Hidden in the tray, Ctrl+Q starts a capture; two clicks select a region
    of a known picture; the dialog is answered with a typed path; the JPEG and
    the clipboard hold exactly that region; a second capture dragged up and to
    the left gives the same kind of result."""
    with Fixture(args, "hotkey_capture") as fx:
        pattern = show_pattern(fx)
        fx.write_ini(ini_bytes(quality=b"50", hidden=b"1"))
        program = fx.start_program()
        fx.wait_running(program)

        press_hotkey(fx)
        assert_no_taskbar_entry(fx)
        dialog = capture_region(fx, (301, 203), (541, 383), mid=(480, 340), drag_shot="overlay-drag.png")
        first = os.path.join(fx.out, "first")
        answer_dialog(fx, dialog, first)  # the dialog adds .jpg
        check_output(fx, pattern, (301, 203, 240, 180), first + ".jpg", 50)
        assert not fx.desktop.windows(MAIN), "the window stays hidden after a capture"

        # Dragged from bottom-right to top-left; the file exists: overwritten
        # without a question.
        press_hotkey(fx)
        assert_no_taskbar_entry(fx)  # shown anew: the window manager dropped the states at the hide
        dialog = capture_region(fx, (900, 700), (611, 457))
        answer_dialog(fx, dialog, first + ".jpg")
        check_output(fx, pattern, (611, 457, 289, 243), first + ".jpg", 50)

        fx.exit_through_tray(program)


def assert_no_taskbar_entry(fx):
    """The overlay asks for no taskbar and no pager (Alt+Tab) entry."""
    overlay = wait_until(lambda: fx.desktop.windows(OVERLAY), 15, "the overlay")[0]
    states = fx.desktop.run(["xprop", "-id", str(overlay), "_NET_WM_STATE"], check=False)
    for state in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"):
        assert state in states, f"the overlay lacks {state}: {states.strip()}"


def show_pattern(fx):
    """A known picture on the desktop, where the captures will be made."""
    pattern = make_pattern(os.path.join(fx.out, "pattern.png"))
    fx.expected_pixel = lambda p: expected_pixel(pattern, p)
    fx.desktop.set_background(pattern)
    probe = (400, 300)
    wait_until(lambda: fx.desktop.pixel(*probe) == fx.expected_pixel(probe), 10, "the picture on the desktop")
    return pattern


def expected_pixel(pattern, point):
    x, y = point
    raw = subprocess.run([im("convert"), pattern, "-crop", f"1x1+{x}+{y}", "-depth", "8", "rgb:-"],
                         capture_output=True, check=True).stdout
    return tuple(raw[:3])


def scenario_scaled_capture(args):
    """With Qt scaling the interface by 2, the overlay still shows and selects
    device pixels 1:1: the clipboard holds exactly the region clicked."""
    with Fixture(args, "scaled_capture", env={"QT_SCALE_FACTOR": "2"}) as fx:
        pattern = show_pattern(fx)
        fx.write_ini(ini_bytes(quality=b"90", hidden=b"1"))
        program = fx.start_program()
        fx.wait_running(program)
        press_hotkey(fx)
        dialog = capture_region(fx, (1001, 501), (1234, 611), mid=(1100, 600), drag_shot="overlay-scaled.png")
        path = os.path.join(fx.out, "scaled.jpg")
        answer_dialog(fx, dialog, path)
        check_output(fx, pattern, (1001, 501, 233, 110), path, 90)
        fx.exit_through_tray(program)


class XwdImage:
    """A window dump as the server holds it (xwd's file): its Z-pixmap rows
    with the visual's masks, so pixels of any depth can be read."""

    def __init__(self, data):
        fields = struct.unpack(">25I", data[:100])
        header_size, _, _, self.depth, self.width, self.height = fields[:6]
        byte_order, bits_per_pixel, self.bytes_per_line = fields[7], fields[11], fields[12]
        self.masks = fields[14:17]
        ncolors = fields[19]
        assert bits_per_pixel == 16, f"{bits_per_pixel} bits per pixel"
        self.order = "<" if byte_order == 0 else ">"
        self.pixels = data[header_size + 12 * ncolors:]

    def row(self, y):
        start = y * self.bytes_per_line
        return struct.unpack(f"{self.order}{self.width}H", self.pixels[start:start + 2 * self.width])

    @staticmethod
    def expand(value, mask):
        """A colour field widened to 8 bits by repeating its bits."""
        shift = (mask & -mask).bit_length() - 1
        bits = bin(mask).count("1")
        field = (value & mask) >> shift
        repeated, have = 0, 0
        while have < 8:
            repeated, have = repeated << bits | field, have + bits
        return repeated >> (have - 8)

    def region_ppm(self, rect):
        x, y, w, h = rect
        body = bytearray()
        for row in range(y, y + h):
            for value in self.row(row)[x:x + w]:
                body += bytes(self.expand(value, mask) for mask in self.masks)
        return b"P6\n%d %d\n255\n" % (w, h) + bytes(body)


def xwd_root(fx):
    return XwdImage(fx.desktop.run(["xwd", "-root", "-silent"], binary=True))


def scenario_depth16_capture(args):
    """On a screen of depth 16 (5, 6 and 5 bits) the overlay shows the screen
    as the server holds it, with the crosshair inverted in the server's own
    pixels, and the JPEG is the reference encoder's output for the region's
    pixels widened to 8 bits per colour."""
    capture_at_depth(args, "depth16_capture", 16, (0xF800, 0x07E0, 0x001F))


def scenario_depth15_capture(args):
    """The same at depth 15 (5 bits each, 16-bit pixels)."""
    capture_at_depth(args, "depth15_capture", 15, (0x7C00, 0x03E0, 0x001F))


def capture_at_depth(args, name, depth, masks):
    with Fixture(args, name, depth=depth) as fx:
        fx.desktop.set_background(make_pattern(os.path.join(fx.out, "pattern.png")))
        wait_until(lambda: len(set(xwd_root(fx).row(300)[:1600])) > 10, 10, "the picture on the desktop")
        screen = xwd_root(fx)
        assert (screen.depth, screen.masks) == (depth, masks), f"depth {screen.depth}, masks {screen.masks}"
        inverse = (1 << depth) - 1
        fx.write_ini(ini_bytes(quality=b"75", hidden=b"1"))
        program = fx.start_program()
        fx.wait_running(program)

        press_hotkey(fx)
        cross = (700, 400)
        fx.desktop.xdotool("mousemove", *cross)

        def crosshair_drawn():
            shown = xwd_root(fx)
            return shown if shown.row(cross[1] - 200)[cross[0]] != screen.row(cross[1] - 200)[cross[0]] else None
        shown = wait_until(crosshair_drawn, 10, "the crosshair")
        for y in sorted(set(range(100, 700, 7)) | {cross[1]}):
            expected, got = screen.row(y), shown.row(y)
            if y == cross[1]:
                # Where the lines cross, the pixel is inverted twice.
                assert all((g == e) == (x == cross[0]) and g in (e, e ^ inverse)
                           for x, (e, g) in enumerate(zip(expected[:1600], got[:1600]))), "the crosshair's row"
            else:
                assert got[:cross[0]] == expected[:cross[0]] and got[cross[0] + 1:1600] == expected[cross[0] + 1:1600], \
                    f"the overlay differs from the screen in row {y}"
                assert got[cross[0]] == expected[cross[0]] ^ inverse, f"the crosshair's column in row {y}"

        region = (301, 203, 240, 180)
        dialog = capture_region(fx, region[:2], (region[0] + region[2], region[1] + region[3]))
        path = os.path.join(fx.out, f"depth{depth}.jpg")
        answer_dialog(fx, dialog, path)
        data = wait_until(lambda: os.path.exists(path) and open(path, "rb").read().startswith(b"\xff\xd8")
                          and open(path, "rb").read(), 15, "the JPEG")
        reference = subprocess.run(["cjpeg", "-dct", "float", "-baseline", "-quality", "75"],
                                   input=screen.region_ppm(region), capture_output=True, check=True).stdout
        assert data == reference, f"JPEG differs from the reference encoder: {len(data)} vs {len(reference)} bytes"
        fx.exit_through_tray(program)


def scenario_second_copy_refused(args):
    """A second copy shows its box and ends with exit code 0; a copy started
    while that box is open is refused too, even after the first copy died; once
    no copy holds the guard, the next start runs."""
    with Fixture(args, "second_copy_refused") as fx:
        fx.write_ini(ini_bytes(hidden=b"1"))
        first = fx.start_program()
        fx.wait_running(first)

        second = fx.start_program()
        box = wait_until(lambda: fx.desktop.windows(BOX), STARTUP, "the refusal box")[0]
        fx.shot("second-copy.png", fx.window_with_frame(box))
        assert second.running(), "the refused copy waits for its box"
        first.kill()  # killed: the kernel drops its lock

        third = fx.start_program()
        wait_until(lambda: len(fx.desktop.windows(BOX)) == 2, STARTUP, "the third copy's refusal box")
        fx.dismiss_box(box)
        assert second.wait(timeout=20) == 0, "the refused copy exits with 0"
        remaining = fx.desktop.windows(BOX)[0]
        fx.dismiss_box(remaining)
        assert third.wait(timeout=20) == 0, "the third copy exits with 0"

        fourth = fx.start_program()
        fx.wait_running(fourth)
        assert not fx.desktop.windows(BOX), "the fourth copy runs"
        fx.exit_through_tray(fourth)


def scenario_tray_appears_later(args):
    """Started with no tray, the icon docks when a tray appears, and again
    after the tray is restarted."""
    with Fixture(args, "tray_appears_later", with_tray=False) as fx:
        fx.write_ini(ini_bytes(hidden=b"1"))
        program = fx.start_program()
        # The hotkey works without a tray: the loop runs.
        press_hotkey(fx)
        dialog = capture_region(fx, (10, 10), (20, 20))
        fx.desktop.xdotool("windowactivate", "--sync", dialog)
        fx.desktop.key("Escape")
        fx.desktop.start_tray()
        wait_until(fx.desktop.docked_icons, STARTUP, "the icon to dock in the new tray")
        fx.desktop.stop_tray()
        fx.desktop.start_tray()
        wait_until(fx.desktop.docked_icons, STARTUP, "the icon to dock in the restarted tray")
        assert program.running()
        fx.exit_through_tray(program)


def scenario_clipboard_survives_exit(args):
    """With a clipboard manager running, the region on the clipboard is
    handed over when the program ends and can still be pasted afterwards."""
    assert args.clipboard_manager, "needs --clipboard-manager"
    with Fixture(args, "clipboard_survives_exit") as fx:
        pattern = show_pattern(fx)
        manager = fx.desktop.start([args.clipboard_manager], "clipboard-manager.log")
        wait_until(lambda: "ready" in manager.output(), 10, "the clipboard manager")
        fx.write_ini(ini_bytes(hidden=b"1"))
        program = fx.start_program()
        fx.wait_running(program)
        press_hotkey(fx)
        dialog = capture_region(fx, (700, 500), (760, 540))
        fx.desktop.xdotool("windowactivate", "--sync", dialog)
        fx.desktop.key("Escape")  # cancelled: the clipboard keeps the region
        wait_until(lambda: not fx.desktop.windows(SAVE_DIALOG), 10, "the dialog to close")
        fx.exit_through_tray(program)
        wait_until(lambda: "saved" in manager.output(), 10, "the hand-over to the clipboard manager")

        expected = crop(pattern, (700, 500, 60, 40), os.path.join(fx.out, "expected.png"))
        clip_path = os.path.join(fx.out, "clipboard.png")
        with open(clip_path, "wb") as f:
            f.write(fx.desktop.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"], binary=True))
        differing = compare("AE", clip_path, expected)
        assert differing == 0, f"the image kept by the manager differs in {differing} pixels"


def scenario_hotkey_held_elsewhere(args):
    """With Ctrl+Q held by another program at start, the hotkey silently does
    nothing: no capture, no message. A new hotkey saved in that state is
    stored but not registered (nothing is until the next start); after a
    restart with the other program gone, the stored hotkey captures."""
    assert args.key_holder, "needs --key-holder"
    with Fixture(args, "hotkey_held_elsewhere") as fx:
        holder = fx.desktop.start([args.key_holder], "key-holder.log")
        wait_until(lambda: "ready" in holder.output() or not holder.running(), 10, "the key holder")
        assert "ready" in holder.output(), "the key holder could not grab Ctrl+Q: " + holder.output()
        fx.write_ini(ini_bytes(hidden=b"1"))
        program = fx.start_program()
        fx.wait_running(program)

        # The press reaches the holder, so it was really made; yet nothing shows.
        fx.desktop.key("ctrl+q")
        wait_until(lambda: "pressed" in holder.output(), 10, "the holder to see Ctrl+Q")
        assert_nothing_shows(fx, program, "after Ctrl+Q")

        fx.tray_click(1)
        window = fx.main_window(10)
        fx.click_in(window, HOTKEY2)
        fx.desktop.key("ctrl+shift+F3")  # 0x4000 + 0x2000 + VK_F3 (0x72) = 24690
        fx.click_in(window, EDIT1)  # in the hotkey box, Alt+Y would be the next hotkey
        fx.desktop.key("alt+y")  # 保存&Y
        wait_until(lambda: not fx.desktop.windows(MAIN), 10, "the window to hide after Save")
        with open(fx.ini_path, "rb") as f:
            data = f.read()
        assert HOTKEY_KEY + b"=24690\r\n" in data, f"settings file {data!r}"

        fx.desktop.key("ctrl+shift+F3")
        assert_nothing_shows(fx, program, "after the new hotkey, saved while none was registered")

        fx.desktop.stop(holder)
        fx.exit_through_tray(program)
        wait_until(lambda: not fx.desktop.docked_icons(), 10, "the tray icon to go")
        program = fx.start_program()
        fx.wait_running(program)
        press_hotkey(fx, "ctrl+shift+F3")
        dialog = capture_region(fx, (10, 10), (20, 20))
        fx.desktop.xdotool("windowactivate", "--sync", dialog)
        fx.desktop.key("Escape")
        wait_until(lambda: not fx.desktop.windows(SAVE_DIALOG), 10, "the dialog to close")
        fx.exit_through_tray(program)


def scenario_special_files(args):
    """A FIFO where the settings file is and where the picture is saved:
    nothing waits on it. The program starts with the defaults and Save shows
    that the settings cannot be written; a capture saved onto the FIFO shows
    the error report. The FIFOs stay as they were."""
    with Fixture(args, "special_files") as fx:
        os.mkfifo(fx.ini_path)
        program = fx.start_program()
        fx.wait_running(program)
        window = fx.main_window()  # shown: the default, as the file could not be read
        fx.click_in(window, EDIT1)
        fx.desktop.key("alt+y")  # 保存&Y
        box = wait_until(lambda: [w for w in fx.desktop.windows(MAIN) if w != window], 10, "the write error")[0]
        fx.shot("settings-write-error.png", fx.window_with_frame(box))
        fx.dismiss_box_titled(box)
        assert window in fx.desktop.windows(MAIN), "the window stays open after the failed Save"
        assert stat.S_ISFIFO(os.lstat(fx.ini_path).st_mode), "the FIFO stays"
        fx.exit_through_tray(program)

        os.remove(fx.ini_path)
        fx.write_ini(ini_bytes(hidden=b"1"))
        folder = os.path.join(fx.work, "pictures")
        os.makedirs(folder)
        fifo = os.path.join(folder, "shot.jpg")
        os.mkfifo(fifo)
        program = fx.start_program()
        fx.wait_running(program)
        press_hotkey(fx)
        dialog = capture_region(fx, (10, 10), (50, 40))
        answer_dialog(fx, dialog, fifo)
        box = wait_until(lambda: fx.desktop.windows(MAIN), 15, "the error report")[0]
        fx.shot("save-error.png", fx.window_with_frame(box))
        fx.dismiss_box_titled(box)
        assert stat.S_ISFIFO(os.lstat(fifo).st_mode), "the FIFO stays"
        assert os.listdir(folder) == ["shot.jpg"], f"left behind: {os.listdir(folder)}"
        assert program.running(), "kwpshot ended:\n" + program.output()
        fx.exit_through_tray(program)


def scenario_esc_cancels_capture(args):
    """Esc on the overlay ends a capture, with the crosshair only and half-way
    through a selection: the overlay goes, and no dialog, message or
    clipboard image follows; the next capture starts afresh."""
    with Fixture(args, "esc_cancels_capture") as fx:
        fx.write_ini(ini_bytes(hidden=b"1"))
        program = fx.start_program()
        fx.wait_running(program)
        for half_way in (False, True):
            press_hotkey(fx)
            fx.desktop.xdotool("mousemove", 400, 300)
            if half_way:
                fx.desktop.click_at(400, 300)
                fx.desktop.xdotool("mousemove", 600, 500)
            fx.desktop.key("Escape")
            wait_until(lambda: not fx.desktop.windows(OVERLAY), 10, "Esc to hide the overlay")
            assert_nothing_shows(fx, program, "after Esc", timeout=2)
            assert not fx.desktop.windows(SAVE_DIALOG), "a save dialog after Esc"
        targets = fx.desktop.run(["xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"], check=False)
        assert "image/" not in targets, f"an image on the clipboard after Esc: {targets}"

        # A fresh capture: its first click fixes a corner, no dialog follows.
        press_hotkey(fx)
        fx.desktop.click_at(500, 400)
        try:
            wait_until(lambda: fx.desktop.windows(SAVE_DIALOG), 2, "no dialog")
            raise AssertionError("the first click of a new capture ended it")
        except Timeout:
            pass
        fx.desktop.key("Escape")
        wait_until(lambda: not fx.desktop.windows(OVERLAY), 10, "Esc to hide the overlay")
        fx.exit_through_tray(program)


# Fonts the texts below are drawn in: the Chinese one Qt falls back to, and
# Qt's default font on a plain X desktop.
TEXT_FONTS = {"确定": "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
              "OK": "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"}


def text_shown(fx, picture):
    """Which text of TEXT_FONTS a picture of a button shows: each is drawn in
    its font at the pixel sizes of a desktop's usual fonts and looked for in
    the picture (normalised cross-correlation). The best (text, score)."""
    gray = picture + ".gray.png"
    fx.desktop.run([im("convert"), picture, "-colorspace", "gray", gray])
    best = (None, 0.0)
    for text, font in TEXT_FONTS.items():
        for size in range(10, 16):
            drawn = os.path.join(fx.out, f"text-{size}.png")
            fx.desktop.run([im("convert"), "-density", "72", "-background", "white", "-fill", "black", "-font", font,
                            "-pointsize", str(size), "label:" + text, "-colorspace", "gray", drawn])
            result = subprocess.run([im("compare"), "-dissimilarity-threshold", "1", "-metric", "NCC",
                                     "-subimage-search", gray, drawn, "null:"], capture_output=True, text=True)
            score = float(result.stderr.split()[0])
            if score > best[1]:
                best = (text, score)
    return best


def windows_titled(fx, title):
    """Visible windows whose title (_NET_WM_NAME, what the desktop shows) is
    `title`. Their WM_NAME is in the program's locale encoding, which a test
    machine without that locale built does not encode right."""
    listed = fx.desktop.run(["xdotool", "search", "--onlyvisible", "--name", "."], check=False).split()
    return [int(w) for w in listed
            if fx.desktop.run(["xdotool", "getwindowname", w], check=False).strip() == title]


def scenario_qt_texts_follow_locale(args):
    """Under a Chinese locale Qt's own texts are Chinese as well: the save
    dialog's title and the message box's button (looked for on screen)."""
    chinese = {"LANG": "zh_CN.UTF-8", "LC_ALL": "", "LC_MESSAGES": "", "LANGUAGE": ""}
    with Fixture(args, "qt_texts_follow_locale", env=chinese) as fx:
        program = fx.start_program()
        fx.wait_running(program)
        window = fx.main_window()
        fx.click_in(window, EDIT1)
        fx.desktop.key("ctrl+a", "BackSpace")
        fx.desktop.type_text("abc")
        fx.desktop.key("alt+y")
        box = wait_until(lambda: windows_titled(fx, "信息框"), 10, "the quality message")[0]
        fx.shot("quality-message-zh.png", fx.window_with_frame(box))
        # The button: below the text, in the right part of the box.
        x, y, w, h = fx.desktop.geometry(box)
        button = fx.shot("quality-message-button.png", (x + w * 2 // 5, y + h - 40, w - w * 2 // 5, 40))
        text, score = text_shown(fx, button)
        assert text == "确定" and score > 0.7, f"the button shows {text!r} (match {score:.2f}), not 确定"
        fx.desktop.xdotool("windowactivate", "--sync", box)
        fx.desktop.key("Return")
        wait_until(lambda: not windows_titled(fx, "信息框"), 10, "the box to close")

        fx.click_in(window, EDIT1)
        fx.desktop.key("ctrl+a", "BackSpace")
        fx.desktop.type_text("50")
        fx.desktop.key("alt+n")  # 截图&N
        wait_until(lambda: fx.desktop.windows(OVERLAY), 15, "the overlay")
        fx.desktop.click_at(100, 100)
        fx.desktop.click_at(150, 150)
        dialog = wait_until(lambda: windows_titled(fx, "另存为"), 15, "the save dialog titled 另存为")[0]
        fx.shot("save-dialog-zh.png", fx.window_with_frame(dialog))
        fx.desktop.xdotool("windowactivate", "--sync", dialog)
        fx.desktop.key("Escape")
        wait_until(lambda: not windows_titled(fx, "另存为"), 10, "the dialog to close")
        fx.exit_through_tray(program)


def assert_nothing_shows(fx, program, when, timeout=3):
    """Polls a while for an overlay or a message box; neither may appear and
    the program keeps running."""
    try:
        shown = wait_until(lambda: fx.desktop.windows(OVERLAY) or fx.desktop.windows(BOX), timeout, "a window")
    except Timeout:
        shown = None
    assert not shown, f"a capture or a message box appeared {when}"
    assert program.running(), f"kwpshot ended {when}:\n" + program.output()

USAGE = "usage: kwpshot [--capture | --show]"
# A Wayland display name no compositor answers to: the program runs on X, and
# its guard is per this session name.
WAYLAND_SESSION = "wayland-kwpshot-e2e"


def cancel_capture(fx):
    """The overlay shows: two clicks, then the dialog cancelled."""
    dialog = capture_region(fx, (10, 10), (20, 20))
    fx.desktop.xdotool("windowactivate", "--sync", dialog)
    fx.desktop.key("Escape")
    wait_until(lambda: not fx.desktop.windows(SAVE_DIALOG), 10, "the dialog to close")
    wait_until(lambda: not fx.desktop.windows(OVERLAY), 10, "the overlay to close")


def scenario_command_line(args):
    """Any argument but --capture or --show: the usage line, exit code 2.
    `kwpshot --capture` with no copy running starts the program (hidden, as
    saved) and captures; with the copy running it hands the capture over and
    ends at once, code 0, no box; `--show` opens the running copy's window;
    with the window open `--capture` starts nothing. The guard's files and
    the socket are per Wayland session when WAYLAND_DISPLAY is set."""
    with Fixture(args, "command_line", env={"WAYLAND_DISPLAY": WAYLAND_SESSION}) as fx:
        for bad in (["--help"], ["--capture", "--show"], ["capture"], ["--platform"], ["-platform", "xcb"]):
            code, output = fx.run_program(*bad, timeout=15)
            assert code == 2, f"{bad}: exit code {code}"
            assert output.strip().splitlines() == [USAGE], f"{bad}: {output!r}"
        assert not fx.desktop.windows(BOX) and not fx.desktop.windows(MAIN)

        fx.write_ini(ini_bytes(hidden=b"1"))
        running = fx.start_program("--capture")
        cancel_capture(fx)
        fx.wait_running(running)
        assert not fx.desktop.windows(MAIN), "started hidden, as saved"
        base = os.path.join(fx.runtime, "kwpshot_zmrt-" + WAYLAND_SESSION)
        for ending in (".gate", ".hold", ".sock"):
            assert os.path.exists(base + ending), f"{base + ending} is missing: {os.listdir(fx.runtime)}"
        assert stat.S_ISSOCK(os.lstat(base + ".sock").st_mode)

        for attempt in range(2):  # the copy takes a command again after one
            code, output = fx.run_program("--capture")
            assert code == 0, f"--capture handed over: exit code {code}\n{output}"
            assert "kwpshot" not in output, f"--capture prints nothing: {output!r}"
            cancel_capture(fx)
        assert not fx.desktop.windows(BOX), "no 'already running' box"

        code, _ = fx.run_program("--show")
        assert code == 0, f"--show: exit code {code}"
        fx.main_window(10)
        code, _ = fx.run_program("--capture")
        assert code == 0, f"--capture with the window open: exit code {code}"
        assert_nothing_shows(fx, running, "after --capture with the window open")
        assert fx.desktop.windows(MAIN), "the window stays open"
        fx.exit_through_tray(running)
        assert not os.path.exists(base + ".sock"), "the socket goes with the copy that listened on it"


def scenario_no_display(args):
    """With no display to run on: one clear line on stderr and exit code 1;
    no abort, no core dump."""
    work = temp_dir("kwpshot-e2e-nodisplay-")
    try:
        base = {k: v for k, v in os.environ.items()
                if k not in ("DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM")}
        base.update(HOME=work, XDG_CONFIG_HOME=work, XDG_RUNTIME_DIR=work, ASAN_OPTIONS="detect_leaks=0",
                    LANG="C.UTF-8")
        free = next(n for n in range(4077, 5000) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
        cases = [
            ({}, [], "kwpshot: no display: neither DISPLAY nor WAYLAND_DISPLAY is set"),
            ({}, ["--capture"], "kwpshot: no display: neither DISPLAY nor WAYLAND_DISPLAY is set"),
            ({"DISPLAY": f":{free}"}, [], f"kwpshot: cannot connect to the display DISPLAY=:{free}"),
            ({"DISPLAY": f":{free}", "QT_QPA_PLATFORM": "xcb"}, [],
             f"kwpshot: cannot connect to the display DISPLAY=:{free}"),
            ({"WAYLAND_DISPLAY": "wayland-kwpshot-none"}, [],
             "kwpshot: cannot connect to the display WAYLAND_DISPLAY=wayland-kwpshot-none"),
        ]
        for extra, arguments, expected in cases:
            result = subprocess.run([args.program, *arguments], env={**base, **extra}, cwd=work,
                                    capture_output=True, timeout=60, stdin=subprocess.DEVNULL)
            err = result.stderr.decode("utf-8", "replace")
            assert result.returncode == 1, f"{extra} {arguments}: exit code {result.returncode}\n{err}"
            assert err.strip().splitlines() == [expected], f"{extra} {arguments}: {err!r}"
        assert not [f for f in os.listdir(work) if f.startswith("core")], "a core dump was written"
    finally:
        remove_dir(work)


class LocalUsers:
    """Local users made for one test and removed after it."""

    def __init__(self, *names):
        self.names = names

    def __enter__(self):
        for name in self.names:
            subprocess.run(["userdel", name], capture_output=True)  # left over from an interrupted run
            subprocess.run(["useradd", "-M", "-N", "-d", "/nonexistent", "-s", "/usr/sbin/nologin", name],
                           check=True, capture_output=True)
        return [pwd.getpwnam(name) for name in self.names]

    def __exit__(self, *exc):
        for name in self.names:
            subprocess.run(["userdel", name], capture_output=True)


def as_user(entry):
    """The command prefix that runs a program as that user (none for oneself)."""
    if entry.pw_uid == os.getuid():
        return []
    return ["setpriv", f"--reuid={entry.pw_uid}", f"--regid={entry.pw_gid}", "--clear-groups"]


def scenario_guard_without_runtime_dir(args):
    """Without XDG_RUNTIME_DIR the guard keeps its files in a folder of the
    user's cache folder. Another local user who made the shared folder
    /tmp/kwpshot-<uid> first cannot switch the guard off: a second copy is
    still refused. (Needs root to make the two users; skipped otherwise.)"""
    if os.geteuid() != 0:
        print("SKIP guard_without_runtime_dir: making local users needs root")
        return
    tag = f"kwpe{os.getpid() % 1000000}"
    with LocalUsers(tag + "u", tag + "o") as (user, other), Fixture(args, "guard_without_runtime_dir") as fx:
        home = tempfile.mkdtemp(prefix="kwpshot-e2e-user-")
        planted = f"/tmp/kwpshot-{user.pw_uid}"
        try:
            os.makedirs(os.path.join(home, ".config"))
            with open(os.path.join(home, ".config", "kwpshot.ini"), "wb") as f:
                f.write(ini_bytes(hidden=b"1"))
            for path in (home, os.path.join(home, ".config"), os.path.join(home, ".config", "kwpshot.ini")):
                os.chown(path, user.pw_uid, user.pw_gid)
            subprocess.run([*as_user(other), "mkdir", "-m", "700", planted], check=True)

            env = fx.desktop.env(HOME=home, ASAN_OPTIONS="detect_leaks=0", LANG="C.UTF-8", QT_QPA_PLATFORM="xcb",
                                 NO_AT_BRIDGE="1")
            for name in ("XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"):
                env.pop(name, None)
            first = fx.start_program(env=env, prefix=as_user(user))
            fx.wait_running(first)
            second = fx.start_program(env=env, prefix=as_user(user))
            box = wait_until(lambda: fx.desktop.windows(BOX) or not second.running(), STARTUP, "the refusal box")
            assert second.running(), "the second copy must be refused, not run:\n" + second.output()
            fx.dismiss_box(box[0])
            assert second.wait(timeout=20) == 0, "the refused copy exits with 0"

            folder = os.path.join(home, ".cache", "kwpshot-" + socket.gethostname())
            info = os.lstat(folder)
            assert stat.S_ISDIR(info.st_mode) and info.st_uid == user.pw_uid, f"{folder}: {info}"
            assert stat.S_IMODE(info.st_mode) == 0o700, f"{folder}: mode {oct(info.st_mode)}"
            assert os.listdir(planted) == [], "nothing is put in the other user's folder"

            # The command socket is there too. Only the same user is heard:
            # root can reach the folder, but the copy closes on it unanswered.
            sockets = [n for n in os.listdir(folder) if n.endswith(".sock")]
            assert len(sockets) == 1, f"{folder}: {os.listdir(folder)}"
            with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as stranger:
                stranger.settimeout(10)
                stranger.connect(os.path.join(folder, sockets[0]))
                try:
                    stranger.sendall(b"capture\n")
                    answer = stranger.recv(16)
                except (BrokenPipeError, ConnectionResetError):  # closed before or after the line came
                    answer = b""
                assert answer == b"", f"a command from another user is answered: {answer!r}"
            assert_nothing_shows(fx, first, "after another user's command")
            fx.copies += 1
            command = fx.desktop.start([*as_user(user), args.program, "--capture"], f"kwpshot-{fx.copies}.log",
                                       env=env)
            assert command.wait(timeout=STARTUP) == 0, "--capture: " + command.output()
            cancel_capture(fx)
            fx.exit_through_tray(first)
        finally:
            shutil.rmtree(planted, ignore_errors=True)
            shutil.rmtree(home, ignore_errors=True)


class NestedSway:
    """A Wayland desktop in a window of the virtual X screen: sway with its
    X11 back end, run as `user` (sway will not run as root), with a runtime
    folder of its own."""

    def __init__(self, fx, user):
        self.fx = fx
        self.user = user
        self.runtime = tempfile.mkdtemp(prefix="kwpshot-e2e-sway-")
        os.chown(self.runtime, user.pw_uid, user.pw_gid)
        config = os.path.join(self.runtime, "config")
        with open(config, "w") as f:
            f.write("xwayland disable\noutput * bg #336699 solid_color\n")
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.runtime,
                    "XDG_RUNTIME_DIR": self.runtime, "LANG": "C.UTF-8"}
        sway_env = dict(self.env, DISPLAY=fx.desktop.display, WLR_BACKENDS="x11", WLR_RENDERER="pixman",
                        WLR_LIBINPUT_NO_DEVICES="1")
        self.process = fx.desktop.start([*as_user(user), "sway", "-c", config], "sway.log", env=sway_env)
        self.display = wait_until(lambda: self._socket("wayland-") or not self.process.running(), 20,
                                  "sway's Wayland socket")
        assert self.process.running(), "sway ended at start:\n" + self.process.output()
        self.env["WAYLAND_DISPLAY"] = self.display
        self.env["SWAYSOCK"] = os.path.join(self.runtime, self._socket("sway-ipc."))

    def x_window(self):
        """sway's window on the X screen, by the title wlroots gives it (only
        as _NET_WM_NAME, which xdotool's name search does not read)."""
        def find():
            listed = self.fx.desktop.run(["xprop", "-root", "_NET_CLIENT_LIST"], check=False)
            for window in listed.partition("#")[2].replace(",", " ").split():
                if "wlroots" in self.fx.desktop.run(["xprop", "-id", window, "_NET_WM_NAME"], check=False):
                    return window
            return None
        return wait_until(find, 10, "sway's window")

    def _socket(self, prefix):
        names = [n for n in os.listdir(self.runtime) if n.startswith(prefix) and not n.endswith(".lock")]
        return names[0] if names else None

    def windows(self, title):
        """The Wayland windows with this title, as sway's tree lists them."""
        out = subprocess.run([*as_user(self.user), "swaymsg", "-t", "get_tree"], env=self.env,
                             capture_output=True, timeout=10).stdout
        found = []

        def walk(node):
            if node.get("pid") and node.get("name") == title:
                found.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        if out:
            walk(json.loads(out))
        return found

    def close(self):
        self.fx.desktop.stop(self.process)
        shutil.rmtree(self.runtime, ignore_errors=True)


def scenario_start_up_error_box(args):
    """An error before the message loop: on a Wayland desktop with no X
    display the Linux program cannot start its display services. The error
    is shown in the default error report (the application title as caption,
    the text with its full stop), printed on stderr as one line, and the
    program ends with exit code 1 once the box is dismissed: no abort. The
    Wayland desktop is sway in a window of the virtual X screen, so the box
    can be seen and answered there. (sway will not run as root: as root the
    test makes a local user for it.)"""
    users = LocalUsers(f"kwpe{os.getpid() % 1000000}w") if os.geteuid() == 0 else contextlib.nullcontext([])
    with users as made, Fixture(args, "start_up_error_box", with_tray=False) as fx:
        user = made[0] if made else pwd.getpwuid(os.getuid())
        sway = NestedSway(fx, user)
        try:
            env = dict(sway.env, ASAN_OPTIONS="detect_leaks=0", NO_AT_BRIDGE="1")
            env.pop("SWAYSOCK")
            program = fx.start_program(env=env, prefix=as_user(user))
            box = wait_until(lambda: sway.windows(TITLE) or not program.running(), STARTUP, "the error report")
            assert program.running(), "kwpshot ended without showing the error:\n" + program.output()
            assert box[0]["rect"]["width"] < 700 and box[0]["rect"]["height"] < 250, f"not a box: {box[0]['rect']}"
            fx.shot("start-up-error.png")
            # A click on the box's OK button: sway's window on the X screen
            # passes the pointer on to it.
            x, y, _, _ = fx.desktop.geometry(int(sway.x_window(), 16))
            rect = sway.windows(TITLE)[0]["rect"]
            fx.desktop.click_at(x + rect["x"] + rect["width"] - 45, y + rect["y"] + rect["height"] - 22)
            code = program.wait(timeout=20)
            output = program.output()
            assert code == 1, f"exit code {code}:\n{output}"
            lines = [line for line in output.splitlines() if line.strip()]
            assert len(lines) == 1 and lines[0].startswith("kwpshot: ") and lines[0].endswith("."), output
        finally:
            sway.close()


SCENARIOS = {name[len("scenario_"):]: fn for name, fn in globals().items() if name.startswith("scenario_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--scenario", choices=sorted(SCENARIOS) + ["all"], default="all")
    parser.add_argument("--out", default="e2e-out")
    parser.add_argument("--docs", help="also keep the screenshots here")
    parser.add_argument("--clipboard-manager", help="the tests' clipboard manager program")
    parser.add_argument("--key-holder", help="the tests' program that holds Ctrl+Q")
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    args.out = os.path.abspath(args.out)
    names = sorted(SCENARIOS) if args.scenario == "all" else [args.scenario]
    passed = failed = 0
    for name in names:
        try:
            SCENARIOS[name](args)
            print(f"PASS {name}")
            passed += 1
        except Exception:
            print(f"FAIL {name}")
            traceback.print_exc()
            failed += 1
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # cleanup runs on ctest's timeout
    sys.exit(main())
