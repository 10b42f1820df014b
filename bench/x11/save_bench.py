#!/usr/bin/env python3
"""The Linux program's output path and memory, measured on the real program
as a person uses it: Xvfb + openbox + trayer, the program hidden in the tray,
the hotkey, two clicks, the save dialog answered with Return.

    save_bench.py --program build-release/kwpshot [--sizes 1920x1080,3840x2160]
                  [--runs 9] [--captures 500] [--captures-sizes 1920x1080]

Per screen size it prints, each next to its target:
- Return in the save dialog -> the full-screen JPEG in place under its name,
  median of --runs, interleaved with runs of a `cjpeg -dct float -baseline
  -quality 50` process on the same pixels (read from the screen as a PPM),
  and whether the program's JPEG is byte for byte cjpeg's;
- the resident memory: idle in the tray before the first capture, the peak
  during a full-screen capture and save, idle after it; in screen bitmaps
  (width x height x 4 bytes);
- with --captures N: N captures in a row (hotkey, two clicks on a small
  region, the dialog cancelled with Escape), the resident memory after the
  first and after N, and the growth per capture.

Input goes through the XTEST extension (libXtst), so the clock starts when the
Return key reaches the server; the JPEG's arrival is seen through inotify.
"""
import argparse
import ctypes
import ctypes.util
import os
import random
import select
import statistics
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
from xdesktop import XDesktop, remove_dir, temp_dir, wait_until  # noqa: E402

QUALITY_KEY = b"\xbd\xd8\xcd\xbc\xd6\xca\xc1\xbf"
HOTKEY_KEY = b"\xbd\xd8\xcd\xbc\xc8\xc8\xbc\xfc"
HIDE_KEY = b"\xd2\xfe\xb2\xd8"
OVERLAY = "^Form5$"
SAVE_DIALOG = "^Save As$"
MIB = 1024 * 1024


def ini_bytes():
    return (b"[jtzl]\r\n" + QUALITY_KEY + b"=50\r\n[HotKey2]\r\n" + HOTKEY_KEY + b"=16465\r\n[yincang]\r\n" +
            HIDE_KEY + b"=1\r\n")


# ---------------------------------------------------------------- X input

class XInput:
    """Key presses and pointer clicks through XTEST, flushed to the server."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst"))
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                                   ctypes.c_ulong]
        self.dpy = self.x11.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open " + display)

    def close(self):
        self.x11.XCloseDisplay(self.dpy)

    def code(self, name):
        return self.x11.XKeysymToKeycode(self.dpy, self.x11.XStringToKeysym(name.encode()))

    def key(self, *names, down=True, up=True):
        """Presses the keys in order and releases them in reverse."""
        codes = [self.code(n) for n in names]
        if down:
            for c in codes:
                self.xtst.XTestFakeKeyEvent(self.dpy, c, 1, 0)
        if up:
            for c in reversed(codes):
                self.xtst.XTestFakeKeyEvent(self.dpy, c, 0, 0)
        self.x11.XSync(self.dpy, 0)

    def move(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.dpy, -1, x, y, 0)
        self.x11.XSync(self.dpy, 0)
        time.sleep(0.005)

    def click(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.dpy, -1, x, y, 0)
        self.xtst.XTestFakeButtonEvent(self.dpy, 1, 1, 0)
        self.xtst.XTestFakeButtonEvent(self.dpy, 1, 0, 0)
        self.x11.XSync(self.dpy, 0)


# ---------------------------------------------------------------- files

class FolderWatch:
    """inotify on one folder: waits until a name in it holds a JPEG."""
    IN_CLOSE_WRITE, IN_MOVED_TO, IN_CREATE = 0x8, 0x80, 0x100

    def __init__(self, folder):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init1(os.O_CLOEXEC)
        if self.fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        if self.libc.inotify_add_watch(self.fd, folder.encode(),
                                       self.IN_CLOSE_WRITE | self.IN_MOVED_TO | self.IN_CREATE) < 0:
            raise OSError(ctypes.get_errno(), "inotify_add_watch")

    def close(self):
        os.close(self.fd)

    def wait_for_jpeg(self, path, timeout=30):
        name = os.path.basename(path).encode()
        deadline = time.monotonic() + timeout
        while True:
            if is_jpeg(path):
                return time.perf_counter()
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no JPEG at " + path)
            ready, _, _ = select.select([self.fd], [], [], left)
            if not ready:
                continue
            data = os.read(self.fd, 65536)
            names = []
            offset = 0
            while offset < len(data):
                _, _, _, length = struct.unpack_from("iIII", data, offset)
                names.append(data[offset + 16:offset + 16 + length].rstrip(b"\0"))
                offset += 16 + length
            if name in names and is_jpeg(path):
                return time.perf_counter()


def is_jpeg(path):
    try:
        with open(path, "rb") as f:
            return f.read(2) == b"\xff\xd8"
    except OSError:
        return False


def screen_picture_ppm(path, width, height):
    """Screen-like content: flat panels, gradients and text-like noise."""
    rnd = random.Random(1)
    pw, ph = max(width // 8, 1), max(height // 6, 1)
    flat = b"\xf0" * (width * 3)
    dark_or_white = bytes(0x20 if v < 48 else 0xFF for v in range(256))
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (width, height))
        xs = bytes(x & 0xFF for x in range(width))
        for y in range(height):
            gradient = bytearray(width * 3)
            gradient[0::3] = xs
            gradient[1::3] = bytes([y & 0xFF]) * width
            gradient[2::3] = b"\x80" * width
            grey = rnd.randbytes(width).translate(dark_or_white)
            noise = bytearray(width * 3)
            noise[0::3] = grey
            noise[1::3] = grey
            noise[2::3] = grey
            row = bytearray(width * 3)
            for px in range(0, width, pw):
                panel = px // pw + (y // ph) * 8
                source = (flat, gradient, noise)[panel % 3]
                end = min(px + pw, width) * 3
                row[px * 3:end] = source[px * 3:end]
            f.write(row)


# ---------------------------------------------------------------- program

def rss_fields(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "VmHWM", "RssAnon", "RssFile", "RssShmem"):
                fields[key] = int(value.split()[0]) * 1024
    return fields


def reset_peak(pid):
    with open(f"/proc/{pid}/clear_refs", "w") as f:
        f.write("5")


def settle(pid, seconds=1.5):
    """Resident memory once the program has been idle for a while."""
    time.sleep(seconds)
    return rss_fields(pid)


class Session:
    def __init__(self, args, size):
        self.args = args
        self.width, self.height = size
        self.bitmap = self.width * self.height * 4
        self.work = temp_dir("kwpshot-savebench-")
        self.out = os.path.join(self.work, "out")
        os.makedirs(self.out)
        for d in ("home", "config", "run"):
            os.makedirs(os.path.join(self.work, d), mode=0o700)
        with open(os.path.join(self.work, "config", "kwpshot.ini"), "wb") as f:
            f.write(ini_bytes())
        self.desktop = XDesktop(self.work, with_tray=True, size=size)

    def __enter__(self):
        for attempt in range(3):  # a loaded machine can miss the panel's start-up limit
            try:
                self.desktop.__enter__()
                break
            except AssertionError:
                if attempt == 2:
                    raise
        self.input = XInput(self.desktop.display)
        return self

    def __exit__(self, *exc):
        if hasattr(self, "input"):
            self.input.close()
        self.desktop.__exit__(*exc)
        if not self.args.keep:
            remove_dir(self.work)

    def start(self):
        env = self.desktop.env(HOME=os.path.join(self.work, "home"), XDG_CONFIG_HOME=os.path.join(self.work, "config"),
                               XDG_RUNTIME_DIR=os.path.join(self.work, "run"), LANG="C.UTF-8",
                               QT_QPA_PLATFORM="xcb", NO_AT_BRIDGE="1")
        self.program = self.desktop.start([self.args.program], "kwpshot.log", env=env)
        wait_until(lambda: self.desktop.docked_icons() or not self.program.running(), 30, "the tray icon")
        if not self.program.running():
            raise RuntimeError("kwpshot ended: " + self.program.output())

    def visible(self, name):
        return self.desktop.windows(name)

    def start_capture(self):
        """The hotkey until the overlay shows (the first press can come before
        the grab is in place)."""
        for _ in range(20):
            self.input.key("Control_L", "q")
            try:
                wait_until(lambda: self.visible(OVERLAY), 3, "the overlay", interval=0.01)
                return
            except AssertionError:
                pass
        raise RuntimeError("the hotkey starts no capture")

    def select(self, start, end):
        """Two clicks, with the pointer moving between them as a hand moves it."""
        self.input.move(start[0] + 7, start[1] + 5)
        self.input.click(*start)
        for i in range(1, 9):
            self.input.move(start[0] + (end[0] - start[0]) * i // 8, start[1] + (end[1] - start[1]) * i // 8)
        self.input.click(*end)
        return wait_until(lambda: self.visible(SAVE_DIALOG), 30, "the save dialog", interval=0.01)[0]

    def dialog_gone(self):
        wait_until(lambda: not self.visible(SAVE_DIALOG), 30, "the dialog to close", interval=0.01)

    def full_screen_save(self, path, watch, first):
        """One full-screen capture saved to `path`; the seconds from Return to
        the JPEG in place."""
        self.start_capture()
        dialog = self.select((0, 0), (self.width - 1, self.height - 1))
        self.desktop.xdotool("windowactivate", "--sync", dialog)
        if first:
            self.desktop.key("ctrl+a")
            self.desktop.type_text(path)
        if os.path.exists(path):
            os.remove(path)  # the JPEG to wait for is the new one
        time.sleep(0.3)  # the dialog idle, as when a person reaches for Return
        start = time.perf_counter()
        self.input.key("Return")
        done = watch.wait_for_jpeg(path)
        self.dialog_gone()
        return done - start

    def cancelled_capture(self):
        self.start_capture()
        dialog = self.select((200, 150), (520, 390))
        for _ in range(5):
            self.input.key("Escape")
            try:
                wait_until(lambda: not self.visible(SAVE_DIALOG), 2, "the dialog to close", interval=0.01)
                return
            except AssertionError:  # the key came before the dialog had the focus
                self.desktop.xdotool("windowactivate", "--sync", dialog)
        raise RuntimeError("Escape does not close the dialog")


def cjpeg_seconds(ppm, out):
    start = time.perf_counter()
    subprocess.run(["cjpeg", "-dct", "float", "-baseline", "-quality", "50", "-outfile", out, ppm], check=True)
    return time.perf_counter() - start


def measure_size(args, size):
    width, height = size
    label = f"{width}x{height}"
    with Session(args, size) as s:
        picture = os.path.join(s.work, "picture.ppm")
        screen_picture_ppm(picture, width, height)
        s.desktop.set_background(picture)
        s.start()
        pid = s.program.pid
        idle_before = settle(pid, 3.0)

        # The pixels the program will save: the screen as it is (the region
        # leaves out the last column and row), as cjpeg's input.
        region = os.path.join(s.work, "region.ppm")
        s.desktop.run(["convert", "x:root", "-crop", f"{width - 1}x{height - 1}+0+0", "+repage", "-depth", "8",
                       "ppm:" + region])
        reference = os.path.join(s.work, "cjpeg.jpg")

        target = os.path.join(s.out, "shot.jpg")
        watch = FolderWatch(s.out)
        try:
            reset_peak(pid)
            first = s.full_screen_save(target, watch, first=True)
            peak_first = rss_fields(pid)["VmHWM"]
            idle_after = settle(pid)
            saves, cjpegs = [first], []
            # Each later capture against the idle figure just before it.
            later_peak, later_idle, idle = 0, 0, idle_after["VmRSS"]
            for _ in range(args.runs):
                cjpegs.append(cjpeg_seconds(region, reference))
                reset_peak(pid)
                saves.append(s.full_screen_save(target, watch, first=False))
                later_peak = max(later_peak, rss_fields(pid)["VmHWM"] - idle)
                after = settle(pid, 0.5)["VmRSS"]
                later_idle = max(later_idle, after - idle)
                idle = after
            idle_last = settle(pid)
        finally:
            watch.close()
        with open(target, "rb") as a, open(reference, "rb") as b:
            identical = a.read() == b.read()

        save, cj = statistics.median(saves[1:]), statistics.median(cjpegs)
        b = s.bitmap
        print(f"{label}  Return -> JPEG in place {save * 1000:7.1f} ms (median of {args.runs}; first {first * 1000:.1f})"
              f" | cjpeg process {cj * 1000:7.1f} ms | ratio {save / cj:.2f} (target <= 1.3)")
        print(f"{label}  JPEG byte-identical to cjpeg's: {'yes' if identical else 'NO'}")
        def parts(f):
            return (f"[anon {f.get('RssAnon', 0) / MIB:.1f}, file {f.get('RssFile', 0) / MIB:.1f}, "
                    f"shmem {f.get('RssShmem', 0) / MIB:.1f} MiB]")
        print(f"{label}  one screen bitmap {b / MIB:.1f} MiB; idle before {idle_before['VmRSS'] / MIB:.1f} MiB "
              + parts(idle_before))
        print(f"{label}  peak during the first full-screen capture + save {peak_first / MIB:.1f} MiB = idle before + "
              f"{(peak_first - idle_before['VmRSS']) / b:.2f} bitmaps (target <= 3); a later capture, against the "
              f"idle just before it: + {later_peak / b:.2f} at most")
        print(f"{label}  idle after it {idle_after['VmRSS'] / MIB:.1f} MiB = idle before + "
              f"{(idle_after['VmRSS'] - idle_before['VmRSS']) / b:.2f} bitmaps (target <= 2) {parts(idle_after)}; "
              f"a later capture + {later_idle / b:.2f} at most; after all {args.runs + 1} + "
              f"{(idle_last['VmRSS'] - idle_before['VmRSS']) / b:.2f}")
        sys.stdout.flush()

        if args.captures > 0 and label in args.captures_sizes.split(","):
            # A fresh program: memory freed by the full-screen saves would
            # hide a slow growth.
            s.desktop.stop(s.program)
            wait_until(lambda: not s.desktop.docked_icons(), 20, "the old tray icon to go")
            s.start()
            pid = s.program.pid
            marks = sorted({1, 50, 200, args.captures} & set(range(1, args.captures + 1)))
            rss = {}
            for n in range(1, args.captures + 1):
                s.cancelled_capture()
                if n in marks:
                    rss[n] = settle(pid, 1.0)["VmRSS"]
            growth = rss[args.captures] - rss[1]
            per = growth / max(args.captures - 1, 1)
            steps = ", ".join(f"{rss[n] / MIB:.1f} after {n}" for n in marks)
            print(f"{label}  {args.captures} cancelled captures: RSS {steps} MiB; growth after the first "
                  f"{growth / MIB:.2f} MiB = {growth / b:.2f} bitmaps (target <= 1), {per / 1024:.1f} KiB per capture")
            sys.stdout.flush()
        if not s.program.running():
            print(f"{label}  the program ended: {s.program.output()}")
            return 1
        return 0 if identical else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True)
    parser.add_argument("--sizes", default="1920x1080,3840x2160")
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--captures", type=int, default=0)
    parser.add_argument("--captures-sizes", default="1920x1080")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    status = 0
    for size in args.sizes.split(","):
        w, h = (int(v) for v in size.split("x"))
        status |= measure_size(args, (w, h))
    return status


if __name__ == "__main__":
    sys.exit(main())
