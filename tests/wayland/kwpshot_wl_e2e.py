#!/usr/bin/python3
"""End-to-end tests of the Linux kwpshot on a Wayland desktop: the real
program on a headless sway with the real screenshot portal, driven through a
virtual pointer and keyboard as a person would, and checked by what a person
would see or get.

    kwpshot_wl_e2e.py --program build-test/kwpshot --helpers build-wayland [--scenario NAME] [--out DIR]

Run by scripts/test-wayland.sh, which gives it an unprivileged user and a
private /tmp. Ends with "N passed, M failed" (", K skipped" when a scenario
needs a part of the program that is not there).
"""
import argparse
import ast
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from wldesktop import WLR_PORTAL, Timeout, WaylandDesktop, wait_until  # noqa: E402
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from jpeg_check import check_baseline_jfif  # noqa: E402
from program_facts import (BOX, CHECKBOX1, EDIT1, HIDE_KEY, HOTKEY2, HOTKEY_KEY, MAIN, OVERLAY,  # noqa: E402,F401
                           QUALITY_KEY, SAVE_DIALOG, STARTUP, TITLE, ini_bytes)


class Skip(Exception):
    """A scenario that cannot run yet: the reason is printed."""


MAIN_SIZE = (375, 298)
CAPTURE_KEYS = "ctrl+alt+p"  # sway's bindsym for `kwpshot --capture`
STANDIN = "org.freedesktop.impl.portal.desktop.kwpshottest"


def standin_portal(interfaces):
    return (f"[portal]\nDBusName={STANDIN}\n"
            + "Interfaces=" + "".join(f"org.freedesktop.impl.portal.{i};" for i in interfaces) + "\nUseIn=sway;\n")


def im(tool):
    return "/usr/bin/" + tool


class Fixture:
    """A fresh desktop per scenario, with its logs in the scenario's folder,
    its files in a temporary folder, and the program's own home, settings
    folder and bindsym. The program gets no DISPLAY: a pure Wayland session."""

    def __init__(self, args, name, shortcuts=False, pattern=False, size=(1920, 1080), scale=1,
                 refusing_screenshots=False, env=None):
        self.args = args
        self.out = os.path.join(args.out, name)
        os.makedirs(self.out, exist_ok=True)
        self.work = tempfile.mkdtemp(prefix="kwpshot-wl-")
        self.home = os.path.join(self.work, "home")
        self.config = os.path.join(self.work, "config")
        for d in (self.home, self.config):
            os.makedirs(d, mode=0o700)
        session_env = {"HOME": self.home, "XDG_CONFIG_HOME": self.config, "LANG": "C.UTF-8",
                       "ASAN_OPTIONS": "detect_leaks=0", "NO_AT_BRIDGE": "1", **(env or {})}
        background = make_pattern(os.path.join(self.work, "pattern.png"), *size) if pattern else None
        extra = []
        if shortcuts or refusing_screenshots:
            # Listed first (by name), the stand-in's Screenshot comes before the wlr one.
            interfaces = ["GlobalShortcuts"] + (["Screenshot"] if refusing_screenshots else [])
            extra.append((STANDIN, standin_portal(interfaces), ["/usr/bin/python3", os.path.join(HERE, "shortcuts_standin.py"),
                                                    STANDIN]))
        self.desktop = WaylandDesktop(self.work, self.out, args.helpers, size=size, scale=scale, background=background,
                                      session_env=session_env, extra_portals=extra,
                                      bindings=[(CAPTURE_KEYS, f"{args.program} --capture")])
        self.copies = 0

    def __enter__(self):
        self.desktop.__enter__()
        return self

    def __exit__(self, kind, *rest):
        if kind is not None and kind is not Skip:
            # What the screen showed when the scenario failed, beside its logs.
            try:
                with open(os.path.join(self.out, "failure-windows.json"), "w") as f:
                    json.dump([{k: v.get(k) for k in ("name", "app_id", "pid", "rect", "focused", "visible")}
                               for v in self.desktop.views()], f, ensure_ascii=False, indent=1)
                self.shot("failure.png")
            except Exception as error:  # the desktop itself may be what failed
                print(f"  (no failure picture: {error})")
        self.desktop.__exit__(kind, *rest)
        shutil.rmtree(self.work, ignore_errors=True)

    @property
    def ini_path(self):
        return os.path.join(self.config, "kwpshot.ini")

    def write_ini(self, data):
        with open(self.ini_path, "wb") as f:
            f.write(data)

    def start_program(self, *arguments):
        self.copies += 1
        return self.desktop.start([self.args.program, *arguments], f"kwpshot-{self.copies}.log")

    def run_program(self, *arguments, timeout=STARTUP):
        """A short-lived call such as `kwpshot --capture`: (exit code, output).
        A program that does not know the argument starts as a second copy
        and shows the refusal box: that box is dismissed and the code is
        "refused"."""
        self.copies += 1
        process = self.desktop.start([self.args.program, *arguments], f"kwpshot-{self.copies}.log")
        try:
            wait_until(lambda: not process.running() or self.desktop.windows(BOX), timeout,
                       f"`kwpshot {' '.join(arguments)}` to end")
        except Timeout:
            return None, process.output()
        if process.running():
            self.dismiss_box(self.desktop.windows(BOX)[0])
            process.wait(20)
            return "refused", process.output()
        return process.wait(5), process.output()

    def tray_items(self):
        out = self.desktop.gdbus("call", "--session", "--dest", "org.kde.StatusNotifierWatcher", "--object-path",
                                 "/StatusNotifierWatcher", "--method", "org.freedesktop.DBus.Properties.Get",
                                 "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems", check=False)
        return re.findall(r"'([^']+)'", out)

    def wait_running(self, program):
        """The program has reached its message loop: its window shows or its
        tray icon is registered. A program with no Wayland support ends at
        start: the scenario is skipped, saying why."""
        wait_until(lambda: not program.running() or self.desktop.windows(MAIN) or self.tray_items(), STARTUP,
                   "the program's window or tray icon")
        if not program.running():
            first = (program.output().strip().splitlines() or ["(no output)"])[0]
            if "X11" in program.output() or "DISPLAY" in program.output():
                raise Skip(f"the program does not run on Wayland yet ({first})")
            raise AssertionError("kwpshot ended at start:\n" + program.output())

    def main_window(self, timeout=STARTUP):
        return wait_until(lambda: self.desktop.windows(MAIN) and self.main_windows()[:1], timeout,
                          "the main window")[0]

    def main_windows(self):
        return [w for w in self.desktop.windows(MAIN) if self.desktop.geometry(w)[2:] == MAIN_SIZE]

    def error_boxes(self):
        """The default error report: a box under the application title."""
        return [w for w in self.desktop.windows("^" + re.escape(TITLE) + "$")
                if self.desktop.geometry(w)[2:] != MAIN_SIZE]

    def click_in(self, window, point, button=1):
        x, y, _, _ = self.desktop.geometry(window)
        self.desktop.click_at(x + point[0], y + point[1], button)

    def dismiss_box(self, box):
        self.desktop.focus(box)
        self.desktop.key("Return")
        wait_until(lambda: box["id"] not in [w["id"] for w in self.desktop.views()], 10, "the box to close")

    def show_window(self):
        """Opens the main window as a tray click would: `kwpshot --show`."""
        code, output = self.run_program("--show")
        if code != 0:
            raise Skip(f"`kwpshot --show` is not there yet (exit {code}: {output.strip()[:200]})")
        return self.main_window(10)

    def activate_tray_icon(self):
        """What a left click on the icon in swaybar does: the item's Activate."""
        items = wait_until(self.tray_items, 10, "the tray icon in swaybar")
        service, _, path = items[0].partition("/")
        self.desktop.gdbus("call", "--session", "--dest", service, "--object-path", "/" + path, "--method",
                           "org.kde.StatusNotifierItem.Activate", "0", "0")
        return self.main_window(10)

    def exit_program(self, program):
        """Closes the main window (as its close button does): the program ends with 0."""
        window = self.main_windows()[0] if self.main_windows() else self.activate_tray_icon()
        self.desktop.swaymsg(f"[con_id={window['id']}]", "kill")
        code = program.wait(timeout=20)
        assert code == 0, f"exit code {code}"

    def request_capture(self, how):
        """Starts a capture as a user would: "command" runs `kwpshot --capture`
        from a shell and expects it to end at once with 0 and no box;
        "bindsym" presses sway's key binding for that command; "shortcut" has
        the GlobalShortcuts stand-in report the hotkey pressed."""
        if how == "bindsym":
            self.desktop.key(CAPTURE_KEYS)
            return
        if how == "shortcut":
            assert standin(self, "Activate", "") == "(true,)\n", "no shortcut is bound"
            return
        code, output = self.run_program("--capture")
        if code != 0:
            raise Skip(f"`kwpshot --capture` is not there yet (exit {code}: {output.strip()[:200]})")
        assert not self.desktop.windows(BOX), "no box may show for --capture"

    def overlay(self, timeout=15):
        return wait_until(lambda: self.desktop.windows(OVERLAY), timeout, "the overlay")[0]

    def shot(self, name, crop=None):
        return self.desktop.screenshot(os.path.join(self.out, name), crop)


def assert_nothing_shows(fx, program, when, timeout=3):
    """Polls a while for an overlay or a box; none may appear and the program
    keeps running."""
    try:
        shown = wait_until(lambda: fx.desktop.windows(OVERLAY) or fx.desktop.windows(BOX) or fx.error_boxes(),
                           timeout, "a window")
    except Timeout:
        shown = None
    assert not shown, f"a capture or a box appeared {when}: {[w.get('name') for w in shown]}"
    assert program.running(), f"kwpshot ended {when}:\n" + program.output()


# ---------------------------------------------------------------- scenarios

def scenario_desktop(args):
    """The test desktop itself: a Qt window on Wayland takes a click and typed
    keys, grim reads the screen, and the Screenshot portal answers."""
    import portal_client
    with Fixture(args, "desktop") as fx:
        desktop = fx.desktop
        probe = desktop.start([os.path.join(args.helpers, "probe_window")], "probe.log",
                              env=desktop.env(QT_QPA_PLATFORM="wayland"))
        window = wait_until(lambda: desktop.windows("^probe-window$"), 30, "the probe window")[0]
        x, y, w, h = desktop.geometry(window)
        desktop.click_at(x + w // 2, y + h // 4)
        wait_until(lambda: "clicked" in probe.output(), 10, "the click to reach the window")
        desktop.type_text("Hello wayland 123")
        desktop.key("Return")
        wait_until(lambda: "typed Hello wayland 123" in probe.output(), 10, "the typed text")

        shot = desktop.screenshot(os.path.join(fx.work, "screen.png"))
        assert os.path.getsize(shot) > 0
        answer = portal_client.screenshot(desktop.env()["DBUS_SESSION_BUS_ADDRESS"])
        assert answer is not None, "the Screenshot portal did not answer"
        code, results = answer
        assert code == 0, f"the Screenshot portal answered {code}"
        uri = str(results["uri"])
        assert uri.startswith("file://") and os.path.exists(uri[7:]), f"no picture at {uri}"


def scenario_shown_at_start_and_save(args):
    """No settings file: the window opens with the defaults; Save writes the
    three settings in their sections and hides the window."""
    with Fixture(args, "shown_at_start_and_save") as fx:
        program = fx.start_program()
        fx.wait_running(program)
        window = fx.main_window()
        fx.shot("main-window.png", fx.desktop.geometry(window))

        fx.click_in(window, EDIT1)
        fx.desktop.key("ctrl+a")
        fx.desktop.type_text("75")
        fx.click_in(window, HOTKEY2)
        fx.desktop.key("shift+F2")  # Shift alone gets Ctrl: 0x4000 + 0x2000 + VK_F2 (0x71) = 24689
        fx.click_in(window, CHECKBOX1)
        fx.desktop.key("alt+y")  # 保存&Y
        wait_until(lambda: not fx.main_windows(), 10, "the window to hide after Save")

        with open(fx.ini_path, "rb") as f:
            data = f.read()
        lines = [line for line in data.split(b"\r\n") if line]
        expected = [line for line in ini_bytes(b"75", b"24689", b"1").split(b"\r\n") if line]
        assert lines == expected, f"settings file {data!r}"
        assert program.running(), "Save keeps the program running"
        fx.exit_program(program)


def scenario_hidden_at_start_and_tray(args):
    """Start hidden: no window, only the tray icon in swaybar (a
    StatusNotifierItem); activating it opens the window; `kwpshot --show`
    opens it as well."""
    with Fixture(args, "hidden_at_start_and_tray") as fx:
        fx.write_ini(ini_bytes(hidden=b"2"))
        tray_area = (fx.desktop.WIDTH - 60, 0, 60, 20)  # swaybar's right end, where the tray sits
        empty = fx.shot("tray-empty.png", tray_area)
        program = fx.start_program()
        fx.wait_running(program)
        assert not fx.main_windows(), "the window must stay hidden at start"
        wait_until(fx.tray_items, 10, "the tray icon in swaybar")
        fx.shot("swaybar.png", (0, 0, fx.desktop.WIDTH, 30))
        wait_until(lambda: differing_pixels(fx.shot("tray-icon.png", tray_area), empty) > 20, 10,
                   "the icon drawn in swaybar")

        fx.activate_tray_icon()
        fx.exit_program(program)
        wait_until(lambda: not fx.tray_items(), 10, "the tray icon to go")


def differing_pixels(a, b):
    result = subprocess.run([im("compare"), "-metric", "AE", a, b, "null:"], capture_output=True)
    return float(result.stderr.split()[0])


def scenario_xwayland_display_set(args):
    """With DISPLAY set as well (an X server beside the compositor, as
    XWayland is), the program still runs on Wayland: its window is a
    Wayland window of sway's."""
    xserver = XServer()
    try:
        with Fixture(args, "xwayland_display_set", env={"DISPLAY": xserver.display}) as fx:
            program = fx.start_program()
            fx.wait_running(program)
            window = fx.main_window()
            assert window.get("shell") == "xdg_shell", f"the window is {window.get('shell')}"
            fx.exit_program(program)
    finally:
        xserver.close()


class XServer:
    """An Xvfb of the test's own, standing for XWayland's X display."""

    def __init__(self):
        read_fd, write_fd = os.pipe()
        self.popen = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "640x480x24",
                                       "-nolisten", "tcp"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            self.display = ":" + f.readline().strip()

    def close(self):
        self.popen.terminate()
        self.popen.wait(10)


def scenario_show_command(args):
    """Where there is no tray, `kwpshot --show` opens the hidden window of
    the running copy and ends at once with 0, with no box."""
    with Fixture(args, "show_command") as fx:
        fx.write_ini(ini_bytes(hidden=b"1"))
        program = fx.start_program()
        fx.wait_running(program)
        assert not fx.main_windows()
        fx.show_window()
        assert not fx.desktop.windows(BOX), "no box may show for --show"
        fx.exit_program(program)


def scenario_quality_messages(args):
    """Save with a quality the check refuses shows the message box, keeps the
    window and writes nothing."""
    with Fixture(args, "quality_messages") as fx:
        program = fx.start_program()
        fx.wait_running(program)
        window = fx.main_window()
        for n, text in enumerate(["abc", "101", ""]):
            fx.desktop.focus(window)
            fx.click_in(window, EDIT1)
            fx.desktop.key("ctrl+a", "BackSpace")
            if text:
                fx.desktop.type_text(text)
            fx.desktop.key("alt+y")
            box = wait_until(lambda: fx.desktop.windows(BOX), 10, f"the quality message for {text!r}")[0]
            if n == 0:
                fx.shot("quality-message.png", fx.desktop.geometry(box))
            fx.dismiss_box(box)
            assert fx.main_windows(), "the window stays open"
            assert not os.path.exists(fx.ini_path), "nothing may be written"
        fx.exit_program(program)


def scenario_second_copy_refused(args):
    """A second copy shows its box and ends with exit code 0."""
    with Fixture(args, "second_copy_refused") as fx:
        fx.write_ini(ini_bytes(hidden=b"1"))
        first = fx.start_program()
        fx.wait_running(first)
        second = fx.start_program()
        box = wait_until(lambda: fx.desktop.windows(BOX), STARTUP, "the refusal box")[0]
        fx.shot("second-copy.png", fx.desktop.geometry(box))
        fx.dismiss_box(box)
        assert second.wait(timeout=20) == 0, "the refused copy exits with 0"
        assert first.running()
        fx.exit_program(first)


# ---------------------------------------------------------------- captures

def make_pattern(path, width, height):
    """A smooth picture with no two neighbouring rows or columns alike."""
    subprocess.run([im("convert"), "-size", f"{width}x{height}", "gradient:#ff2000-#0020ff",
                    "(", "-size", f"{height}x{width}", "gradient:#00000000-#00ff00ff", "-rotate", "90", ")",
                    "-compose", "plus", "-composite", "-depth", "8", "PNG24:" + path], check=True)
    return path


def capture_region(fx, start, end, mid=None):
    """Two clicks on the overlay, with a move in between as a hand makes;
    the save dialog opens."""
    fx.overlay()
    fx.desktop.click_at(*start)
    fx.desktop.move_to(*(mid or end))
    fx.desktop.click_at(*end)
    return wait_until(lambda: fx.desktop.windows(SAVE_DIALOG), 15, "the save dialog")[0]


def answer_dialog(fx, dialog, path):
    fx.desktop.focus(dialog)
    fx.desktop.key("ctrl+a")
    fx.desktop.type_text(path)
    fx.desktop.key("Return")
    wait_until(lambda: not fx.desktop.windows(SAVE_DIALOG), 10, "the dialog to close")


def finish_capture(fx):
    """Ends a capture a person does not want: two clicks (the overlay takes
    no keys), then Cancel in the save dialog."""
    cancel_dialog(fx, capture_region(fx, (100, 100), (120, 120)))
    wait_until(lambda: not fx.desktop.windows(OVERLAY), 10, "the overlay to close")


def cancel_dialog(fx, dialog):
    fx.desktop.focus(dialog)
    fx.desktop.key("Escape")
    wait_until(lambda: not fx.desktop.windows(SAVE_DIALOG), 10, "the dialog to close")


def reference_jpeg(fx, region, quality, name):
    """cjpeg's JPEG of the region as grim sees it now (the cursor parked)."""
    x, y, w, h = region
    ppm = os.path.join(fx.out, name + ".ppm")
    fx.desktop.run(["grim", "-g", f"{x},{y} {w}x{h}", "-t", "ppm", ppm])
    jpeg = subprocess.run(["cjpeg", "-dct", "float", "-baseline", "-quality", str(quality), ppm],
                          capture_output=True, check=True).stdout
    return ppm, jpeg


def check_capture(fx, jpeg_path, region, quality, reference):
    ppm, expected = reference
    data = wait_until(lambda: os.path.exists(jpeg_path) and open(jpeg_path, "rb").read().endswith(b"\xff\xd9")
                      and open(jpeg_path, "rb").read(), 15, "the JPEG")
    check_baseline_jfif(data, region[2], region[3], quality)
    assert data == expected, (f"the JPEG ({len(data)} bytes) differs from cjpeg's of the same pixels "
                              f"({len(expected)} bytes)")
    clip = fx.desktop.run(["wl-paste", "--type", "image/png"], binary=True, timeout=15)
    clip_path = os.path.join(fx.out, "clipboard.png")
    with open(clip_path, "wb") as f:
        f.write(clip)
    differing = differing_pixels(clip_path, ppm)
    assert differing == 0, f"the clipboard image differs from the region in {differing} pixels"


def capture_scenario(args, name, how, running, scale=1, quality=50):
    """A complete capture started by `kwpshot --capture` (from a shell or
    sway's bindsym) or the hotkey, with a copy already running or none: two
    clicks, a typed path, and a JPEG byte-identical to cjpeg's of the same
    pixels; the clipboard holds the region. At an output scale the clicks
    are in the desktop's coordinates and the region is its device pixels."""
    with Fixture(args, name, pattern=True, shortcuts=how == "shortcut", scale=scale) as fx:
        fx.write_ini(ini_bytes(quality=str(quality).encode(), hidden=b"1"))
        program = None
        if running:
            program = fx.start_program()
            fx.wait_running(program)
            if how == "shortcut":
                wait_until(lambda: standin_calls(fx, "BindShortcuts"), 10, "the program to bind its shortcut")
        fx.desktop.park_cursor()
        region = (301, 203, 240, 180)
        reference = reference_jpeg(fx, region, quality, "expected")
        if how == "shortcut":
            press_hotkey(fx)
        elif running or how == "bindsym":
            fx.request_capture(how)
        else:
            program = fx.start_program("--capture")  # none running: this one becomes the program
        try:
            overlay = fx.overlay(STARTUP)
        except Timeout:
            if program and not program.running() and "X11" in program.output():
                raise Skip("the program does not run on Wayland yet")
            raise
        assert fx.desktop.geometry(overlay) == (0, 0, fx.desktop.WIDTH, fx.desktop.HEIGHT), \
            f"the overlay covers {fx.desktop.geometry(overlay)}"
        dialog = capture_region(fx, region[:2], (region[0] + region[2], region[1] + region[3]), mid=(480, 340))
        path = os.path.join(fx.out, "capture")
        answer_dialog(fx, dialog, path)  # the dialog adds .jpg
        device = (region[0] * scale, region[1] * scale, region[2] * scale, region[3] * scale)
        check_capture(fx, path + ".jpg", device, quality, reference)
        assert not fx.main_windows(), "the window stays hidden after a capture"
        if program is None:  # started by the binding
            program = find_program(fx)
        fx.exit_program(program)


class Started:
    """The copy sway's binding started, seen through its pid."""

    def __init__(self, pid):
        self.pid = pid

    def running(self):
        return os.path.exists(f"/proc/{self.pid}")

    def wait(self, timeout):
        wait_until(lambda: not self.running(), timeout, "the program to end")
        return 0  # not our child: its end is all that can be seen

    def output(self):
        return ""


def find_program(fx):
    pids = [v["pid"] for v in fx.desktop.views() if re.search(MAIN, v.get("name") or "")] or \
        [int(p) for p in fx.desktop.run(["pgrep", "-f", "-x", re.escape(fx.args.program) + " --capture"],
                                        check=False).split()]
    assert pids, "the program the binding started is not found"
    return Started(pids[0])


def scenario_capture_hotkey(args):
    capture_scenario(args, "capture_hotkey", "shortcut", running=True)


def scenario_capture_scaled(args):
    capture_scenario(args, "capture_scaled", "command", running=True, scale=2, quality=90)


def scenario_capture_command_running(args):
    capture_scenario(args, "capture_command_running", "command", running=True)


def scenario_capture_command_first(args):
    capture_scenario(args, "capture_command_first", "command", running=False)


def scenario_capture_bindsym_running(args):
    capture_scenario(args, "capture_bindsym_running", "bindsym", running=True)


def scenario_capture_bindsym_first(args):
    capture_scenario(args, "capture_bindsym_first", "bindsym", running=False)


def scenario_portal_refuses(args):
    """With the screenshot back end gone, `kwpshot --capture` ends in the
    error box under the application title, no overlay; with the back end
    frozen (it never answers) the same box comes after a few seconds. The
    program keeps running and takes the next capture once the back end is
    back."""
    with Fixture(args, "portal_refuses") as fx:
        fx.write_ini(ini_bytes(hidden=b"1"))
        program = fx.start_program()
        fx.wait_running(program)

        fx.desktop.stop_portal_backend(WLR_PORTAL)
        fx.request_capture("command")
        box = wait_until(fx.error_boxes, 20, "the error box for a missing back end")[0]
        fx.shot("portal-error.png", fx.desktop.geometry(box))
        assert not fx.desktop.windows(OVERLAY), "no overlay after a failed capture"
        fx.dismiss_box(box)

        fx.desktop.start_portal_backend(WLR_PORTAL)
        backend = fx.desktop.portal_processes[WLR_PORTAL]
        os.kill(backend.pid, signal.SIGSTOP)
        try:
            started = time.monotonic()
            fx.request_capture("command")
            box = wait_until(fx.error_boxes, 30, "the error box for a back end that never answers")[0]
            print(f"  a silent portal gave up after {time.monotonic() - started:.1f} s")
            assert not fx.desktop.windows(OVERLAY), "no overlay after a timed-out capture"
            fx.dismiss_box(box)
        finally:
            os.kill(backend.pid, signal.SIGCONT)
        assert program.running(), "the program keeps running"

        fx.request_capture("command")
        finish_capture(fx)
        fx.exit_program(program)


def scenario_screenshot_refused(args):
    """A desktop whose user refuses the screenshot (the portal answers 1):
    the capture ends in the error box, no overlay; the program runs on."""
    with Fixture(args, "screenshot_refused", refusing_screenshots=True) as fx:
        fx.write_ini(ini_bytes(hidden=b"1"))
        program = fx.start_program()
        fx.wait_running(program)
        fx.request_capture("command")
        box = wait_until(fx.error_boxes, 20, "the error box for a refused screenshot")[0]
        fx.shot("screenshot-refused.png", fx.desktop.geometry(box))
        assert standin_calls(fx, "Screenshot"), "the refusing back end was not asked"
        assert not fx.desktop.windows(OVERLAY), "no overlay after a refused capture"
        fx.dismiss_box(box)
        assert program.running(), "the program keeps running"
        fx.exit_program(program)


# ---------------------------------------------------------------- the shortcuts portal

def standin(fx, method, *arguments):
    return fx.desktop.gdbus("call", "--session", "--dest", STANDIN, "--object-path",
                            "/org/freedesktop/portal/desktop", "--method", "org.kwpshot.test.Shortcuts." + method,
                            *arguments)


def standin_calls(fx, call=None):
    out = standin(fx, "Calls")
    text = ast.literal_eval(out.strip())[0]
    calls = [json.loads(line) for line in text.splitlines() if line]
    return [c for c in calls if call is None or c["call"] == call]


def press_hotkey(fx, shown=None):
    """Has the stand-in report the hotkey pressed until `shown` (by default
    the overlay) appears. The program learns that its binding holds a moment
    after the portal was asked, so a press right then may come too early; a
    person would press again."""
    shown = shown or (lambda: fx.desktop.windows(OVERLAY))

    def pressed():
        fx.request_capture("shortcut")
        try:
            return wait_until(shown, 3, "the capture")
        except Timeout:
            return None
    return wait_until(pressed, STARTUP, "the hotkey to start a capture", interval=0)


def bound_triggers(fx):
    return [props.get("preferred_trigger") for c in standin_calls(fx, "BindShortcuts")
            for _, props in c["shortcuts"]]


def scenario_shortcuts_portal(args):
    """Where the GlobalShortcuts portal exists (here a stand-in back end
    behind the real front end), the program binds the box's combination;
    the portal's Activated starts a capture; Save binds the new one."""
    with Fixture(args, "shortcuts_portal", shortcuts=True) as fx:
        fx.write_ini(ini_bytes(hidden=b"1"))
        program = fx.start_program()
        fx.wait_running(program)
        try:
            wait_until(lambda: standin_calls(fx, "BindShortcuts"), 10, "the program to bind its shortcut")
        except Timeout:
            raise Skip("the program does not use the GlobalShortcuts portal yet")
        triggers = bound_triggers(fx)
        assert [t.lower() for t in triggers] == ["ctrl+q"], f"bound {triggers}"
        assert_nothing_shows(fx, program, "after binding")

        press_hotkey(fx)
        finish_capture(fx)

        # Save with a new combination binds that one. A key typed before the
        # freshly shown window has the keyboard is lost: type it again, as a
        # person would who sees the box unchanged.
        for attempt in range(3):
            binds = len(bound_triggers(fx))
            window = fx.show_window()
            fx.click_in(window, HOTKEY2)
            time.sleep(0.5)
            fx.desktop.key("ctrl+shift+F3")  # 24690
            fx.click_in(window, EDIT1)
            fx.desktop.key("alt+y")
            wait_until(lambda: not fx.main_windows(), 10, "the window to hide after Save")
            wait_until(lambda: len(bound_triggers(fx)) > binds, 10, "the combination to be bound again")
            if bound_triggers(fx)[-1].lower() == "ctrl+shift+f3":
                break
        assert bound_triggers(fx)[-1].lower() == "ctrl+shift+f3", f"bound {bound_triggers(fx)}"
        press_hotkey(fx)
        finish_capture(fx)
        fx.exit_program(program)


def scenario_shortcuts_refused(args):
    """A portal that refuses the binding is treated as a combination held
    elsewhere: no message, no capture, the program runs on."""
    with Fixture(args, "shortcuts_refused", shortcuts=True) as fx:
        standin(fx, "SetAnswer", "refuse")
        fx.write_ini(ini_bytes(hidden=b"1"))
        program = fx.start_program()
        fx.wait_running(program)
        try:
            wait_until(lambda: standin_calls(fx, "BindShortcuts"), 10, "the program to ask for its shortcut")
        except Timeout:
            raise Skip("the program does not use the GlobalShortcuts portal yet")
        assert_nothing_shows(fx, program, "after the refusal")
        standin(fx, "Activate", "")
        assert_nothing_shows(fx, program, "after an activation of a refused shortcut")
        fx.request_capture("command")  # the command still captures
        finish_capture(fx)
        fx.exit_program(program)


SCENARIOS = {name[len("scenario_"):]: fn for name, fn in globals().items() if name.startswith("scenario_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--helpers", required=True, help="the folder with virtual_input and probe_window")
    parser.add_argument("--scenario", action="append", choices=sorted(SCENARIOS))
    parser.add_argument("--out", default="wayland-out")
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    args.helpers = os.path.abspath(args.helpers)
    args.out = os.path.abspath(args.out)
    names = args.scenario or list(SCENARIOS)
    passed = failed = skipped = 0
    for name in names:
        try:
            SCENARIOS[name](args)
            print(f"PASS {name}", flush=True)
            passed += 1
        except Skip as why:
            print(f"SKIP {name}: {why}", flush=True)
            skipped += 1
        except Exception:
            print(f"FAIL {name}", flush=True)
            traceback.print_exc()
            failed += 1
    print(f"{passed} passed, {failed} failed" + (f", {skipped} skipped" if skipped else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # cleanup runs when stopped
    sys.exit(main())
