#!/usr/bin/python3
"""The Linux program's capture on a real Wayland compositor, at 1920x1080 and
3840x2160: on a headless sway with the screenshot portal (the tests' desktop,
tests/wayland/wldesktop.py) it

- times `kwpshot --capture` to the overlay on screen (sway maps the window
  once its first picture is committed), less the capture's 300 ms delay: the
  command's hand-over, the portal's screen copy and the overlay's first paint;
- runs the in-process benchmark (bench/wayland: portal copy, capture tick,
  pointer move with its repaint) inside the same session, when given.

Each figure is the median of its runs, in milliseconds. Run it through
scripts/wayland-session.sh (an unprivileged user, a /tmp of its own):

    scripts/wayland-session.sh --writable build-release/wayland-bench /usr/bin/python3 bench/wayland_sway.py \\
        --program build-release/kwpshot --bench build-release/bench/wayland/wayland_bench \\
        --helpers build-wayland --out build-release/wayland-bench
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "wayland"))
from wldesktop import WaylandDesktop, wait_until  # noqa: E402

CAPTURE_DELAY_MS = 300
SIZES = [(1920, 1080), (3840, 2160)]


class WindowEvents:
    """sway's window events, each stamped with the time it arrived."""

    def __init__(self, desktop):
        self.events = []
        self.lock = threading.Lock()
        self.process = subprocess.Popen(["swaymsg", "-r", "-m", "-t", "subscribe", '["window"]'],
                                        env=desktop.env(), stdout=subprocess.PIPE, text=True)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        decoder, buffer = json.JSONDecoder(), ""
        for line in self.process.stdout:
            buffer += line
            try:
                event, end = decoder.raw_decode(buffer.lstrip())
            except ValueError:
                continue
            buffer = buffer.lstrip()[end:]
            with self.lock:
                self.events.append((time.monotonic(), event))

    def mapped_since(self, start, title):
        """When the window first showed after `start`: sway's first event
        about it (it is mapped, then named, focused and made full-screen)."""
        with self.lock:
            for stamp, event in self.events:
                if stamp >= start and (event.get("container") or {}).get("name") == title:
                    return stamp
        return None

    def close(self):
        self.process.terminate()
        self.process.wait(5)


def time_command_to_overlay(desktop, program, runs):
    events = WindowEvents(desktop)
    try:
        times = []
        for _ in range(runs):
            start = time.monotonic()
            subprocess.run([program, "--capture"], env=desktop.env(), check=True, timeout=30)
            shown = wait_until(lambda: events.mapped_since(start, "Form5"), 30, "the overlay")
            times.append((shown - start) * 1000 - CAPTURE_DELAY_MS)
            # Two clicks end the selection; the save dialog is cancelled.
            desktop.click_at(10, 10)
            desktop.click_at(20, 20)
            dialog = wait_until(lambda: desktop.windows("^Save As$"), 15, "the save dialog")[0]
            desktop.focus(dialog)
            desktop.key("Escape")
            wait_until(lambda: not desktop.windows("^Save As$") and not desktop.windows("^Form5$"), 10,
                       "the dialog and overlay to close")
        return statistics.median(times)
    finally:
        events.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--helpers", required=True, help="the folder with the tests' virtual_input")
    parser.add_argument("--bench", help="the in-process benchmark to run in the session")
    parser.add_argument("--out", default="wayland-bench")
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    os.makedirs(args.out, exist_ok=True)
    for width, height in SIZES:
        work = tempfile.mkdtemp(prefix="kwpshot-bench-")
        home = os.path.join(work, "home")
        os.makedirs(os.path.join(home, ".config"))
        with open(os.path.join(home, ".config", "kwpshot.ini"), "wb") as f:
            f.write(b"[yincang]\r\n\xd2\xfe\xb2\xd8=1\r\n")  # start hidden
        log = os.path.join(args.out, f"{width}x{height}")
        os.makedirs(log, exist_ok=True)
        env = {"HOME": home, "LANG": "C.UTF-8", "ASAN_OPTIONS": "detect_leaks=0", "NO_AT_BRIDGE": "1"}
        with WaylandDesktop(work, log, os.path.abspath(args.helpers), size=(width, height), session_env=env,
                            with_bar=False) as desktop:
            print(f"{width}x{height}:", flush=True)
            first = desktop.start([program], "kwpshot.log")
            wait_until(lambda: os.path.exists(os.path.join(desktop.runtime, "kwpshot_zmrt-"
                                                           + desktop.wayland_display + ".sock"))
                       or not first.running(), 30, "the program")
            median = time_command_to_overlay(desktop, program, args.runs)
            print(f"  kwpshot --capture to the overlay on screen, less {CAPTURE_DELAY_MS} ms: "
                  f"{median:.1f} ms (median of {args.runs})", flush=True)
            first.close()
            if args.bench:
                # The software cursor would show in the screen the benchmark reads
                # back; hidden, it reaches no window, so this comes last.
                desktop.swaymsg("seat", "seat0", "hide_cursor", "100")
                time.sleep(0.5)
                result = subprocess.run([os.path.abspath(args.bench)], env=desktop.env(), capture_output=True,
                                        text=True, timeout=600)
                print("  " + result.stdout.strip().replace("\n", "\n  "), flush=True)
                if result.returncode != 0:
                    print(f"  (wayland_bench ended with {result.returncode}: {result.stderr.strip()[-300:]})")


if __name__ == "__main__":
    main()
