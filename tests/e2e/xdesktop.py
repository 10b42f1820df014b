"""A virtual X desktop for end-to-end tests: Xvfb, openbox and a trayer
panel, with the tools a person's hands and eyes stand for (xdotool, xclip,
ImageMagick). Everything started here is stopped on leaving the context.

Waiting is always polling with a time limit; nothing sleeps a fixed time and
hopes.
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time

# The real ImageMagick, even where a stand-in comes first in PATH.
IM_BIN = "/usr/bin" if os.path.exists("/usr/bin/convert") else ""


def im(tool):
    return os.path.join(IM_BIN, tool) if IM_BIN else tool


class Timeout(AssertionError):
    pass


def wait_until(predicate, timeout, what, interval=0.05):
    """Polls `predicate` until it returns a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Timeout(f"timed out after {timeout}s waiting for {what}")
        time.sleep(interval)


class Process:
    """A child process with its output in a log file; stopped on close()."""

    def __init__(self, args, env, log_path):
        self.args = args
        self.log_path = log_path
        self.log = open(log_path, "wb")
        self.popen = subprocess.Popen(args, env=env, stdout=self.log, stderr=subprocess.STDOUT,
                                      stdin=subprocess.DEVNULL, start_new_session=True)

    @property
    def pid(self):
        return self.popen.pid

    def running(self):
        return self.popen.poll() is None

    def wait(self, timeout):
        return self.popen.wait(timeout=timeout)

    def kill(self, sig=signal.SIGKILL):
        if self.running():
            self.popen.send_signal(sig)
            self.popen.wait(timeout=10)

    def close(self):
        if self.running():
            self.popen.terminate()
            try:
                self.popen.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.popen.kill()
                self.popen.wait(timeout=5)
        self.log.close()

    def output(self):
        self.log.flush()
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")


class XDesktop:
    WIDTH, HEIGHT = 1920, 1080

    def __init__(self, workdir, with_tray=True, size=(1920, 1080)):
        self.workdir = workdir
        self.with_tray = with_tray
        self.WIDTH, self.HEIGHT = size
        self.processes = []
        self.display = None
        self.trayer = None

    # ------------------------------------------------------------ life
    def __enter__(self):
        try:
            self._start_xvfb()
            self.openbox = self.start(["openbox", "--sm-disable"], "openbox.log")
            wait_until(self._window_manager_running, 20, "openbox to manage the screen")
            if self.with_tray:
                self.start_tray()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        for process in reversed(self.processes):
            process.close()
        self.processes.clear()

    def _start_xvfb(self):
        read_fd, write_fd = os.pipe()
        log = os.path.join(self.workdir, "xvfb.log")
        args = ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{self.WIDTH}x{self.HEIGHT}x24",
                "-noreset", "-nolisten", "tcp"]
        logf = open(log, "wb")
        popen = subprocess.Popen(args, stdout=logf, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                 pass_fds=(write_fd,), start_new_session=True)
        os.close(write_fd)
        # Xvfb writes the display number it chose once it accepts clients.
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline or popen.poll() is not None:
                raise Timeout("Xvfb did not start: " + open(log, errors="replace").read())
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        self.display = ":" + number.decode().strip()
        wrapper = Process.__new__(Process)
        wrapper.args, wrapper.log_path, wrapper.log, wrapper.popen = args, log, logf, popen
        self.processes.append(wrapper)

    def env(self, **extra):
        env = {k: v for k, v in os.environ.items() if not k.startswith("DBUS_")}
        env["DISPLAY"] = self.display
        env.pop("WAYLAND_DISPLAY", None)
        env.update(extra)
        return env

    def start(self, args, log_name, env=None):
        process = Process(args, env or self.env(), os.path.join(self.workdir, log_name))
        self.processes.append(process)
        return process

    def stop(self, process):
        process.close()
        self.processes.remove(process)

    def _window_manager_running(self):
        out = self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)
        return "window id" in out

    def start_tray(self, attempts=3):
        # Now and then the window manager, just started, leaves the panel
        # unmapped and both wait for ever; a new trayer is mapped.
        for attempt in range(attempts):
            self.trayer = self.start(["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                                      "--height", "24", "--SetDockType", "true", "--SetPartialStrut", "true",
                                      "--transparent", "false", "--tint", "0xdddddd"], "trayer.log")
            trayer = self.trayer
            try:
                wait_until(lambda: self.tray_window() or not trayer.running(), 8, "the trayer panel")
            except Timeout:
                self.stop_tray()
                if attempt + 1 == attempts:
                    raise
                continue
            if not trayer.running():
                raise AssertionError(f"trayer ended with {trayer.popen.returncode}: {trayer.output()}")
            return

    def stop_tray(self):
        if self.trayer:
            self.stop(self.trayer)
            self.trayer = None

    # ------------------------------------------------------------ tools
    def run(self, args, check=True, input=None, binary=False, timeout=30):
        result = subprocess.run(args, env=self.env(), input=input, capture_output=True, timeout=timeout)
        if check and result.returncode != 0:
            raise AssertionError(f"{args} failed ({result.returncode}): {result.stderr.decode(errors='replace')}")
        return result.stdout if binary else result.stdout.decode("utf-8", "replace")

    def xdotool(self, *args):
        return self.run(["xdotool", *map(str, args)])

    def windows(self, name_regex, visible=True):
        args = ["xdotool", "search"] + (["--onlyvisible"] if visible else []) + ["--name", name_regex]
        return [int(w) for w in self.run(args, check=False).split()]

    def geometry(self, window):
        """(x, y, width, height) of a window's client area on the screen."""
        out = self.run(["xwininfo", "-id", str(window)])
        fields = {}
        for line in out.splitlines():
            if ":" in line:
                key, _, value = line.strip().partition(":")
                fields[key.strip()] = value.strip()
        return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
                int(fields["Width"]), int(fields["Height"]))

    def tray_window(self):
        ids = self.windows("^panel$")
        return ids[0] if ids else None

    def docked_icons(self):
        """Screen rectangles of the icons docked in the trayer panel."""
        tray = self.tray_window()
        if not tray:
            return []
        icons = []
        for line in self.run(["xwininfo", "-children", "-id", str(tray)], check=False).splitlines():
            line = line.strip()
            if not line.startswith("0x"):
                continue
            # "0x400026 (has no name): ()  22x22+1+1  +1897+1057"
            parts = line.split()
            size, absolute = parts[-2], parts[-1]
            w, _, rest = size.partition("x")
            h = rest.split("+")[0].split("-")[0]
            ax, ay = [int(v) for v in absolute.replace("+", " +").replace("-", " -").split()]
            if int(w) > 4 and int(h) > 4:
                icons.append((ax, ay, int(w), int(h)))
        return icons

    def click_at(self, x, y, button=1):
        self.xdotool("mousemove", x, y)
        self.xdotool("click", button)

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    def type_text(self, text):
        self.xdotool("type", "--delay", "10", text)

    def screenshot(self, path, crop=None):
        """The whole screen, or (x, y, w, h) of it, as PNG."""
        tmp = path + ".full.png"
        self.run([im("import"), "-window", "root", tmp])
        if crop:
            x, y, w, h = crop
            self.run([im("convert"), tmp, "-crop", f"{w}x{h}+{x}+{y}", "+repage", path])
            os.remove(tmp)
        else:
            os.replace(tmp, path)
        return path

    def pixel(self, x, y):
        """The screen's colour at (x, y) as (r, g, b)."""
        raw = self.run([im("convert"), "x:root", "-crop", f"1x1+{x}+{y}", "-depth", "8", "rgb:-"], binary=True)
        return tuple(raw[:3])

    def set_background(self, image_path):
        """Shows a picture as the root window's background (the desktop).
        display's exit status says nothing here; the caller checks pixels."""
        self.run([im("display"), "-window", "root", image_path], check=False)


def temp_dir(prefix):
    return tempfile.mkdtemp(prefix=prefix)


def remove_dir(path):
    shutil.rmtree(path, ignore_errors=True)
