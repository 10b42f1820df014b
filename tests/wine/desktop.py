"""The desktop the Wine suite runs on: a virtual X server with a window
manager, a fresh 32-bit Wine prefix with a long-lived Wine process, and the
tools that act and look as a user would (xdotool, xwininfo, import, xclip).
Every wait polls with a time limit; every process started here is stopped
by close()."""
import os
import re
import shutil
import subprocess
import tempfile
import time


class Timeout(AssertionError):
    pass


def wait_for(what, probe, timeout=20.0, interval=0.1):
    """The first true result of probe(), or Timeout after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        result = probe()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Timeout("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class Window:
    def __init__(self, wid, name, x, y, width, height):
        self.id, self.name, self.x, self.y, self.width, self.height = wid, name, x, y, width, height

    def __repr__(self):
        return "Window(%s %r %dx%d+%d+%d)" % (self.id, self.name, self.width, self.height, self.x, self.y)


class Desktop:
    def __init__(self, width=1920, height=1080):
        self.root = tempfile.mkdtemp(prefix="kwpshot-wine-", dir="/tmp")
        self.prefix = os.path.join(self.root, "prefix")
        self.processes = []
        self.width, self.height = width, height
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("LC_")}
        self.env.update(LANG="C.UTF-8", WINEPREFIX=self.prefix, WINEARCH="win32",
                        WINEDLLOVERRIDES="mscoree,mshtml=", WINEDEBUG="-all")
        try:
            self._start_x()
            self.log = open(os.path.join(self.root, "desktop.log"), "wb")
            self.wm = self._start(["openbox", "--sm-disable"], stdout=self.log, stderr=self.log)
            wait_for("the window manager", self._wm_ready)
            self._start_wine()
        except BaseException:
            self.close()
            raise

    def _wm_ready(self):
        if self.wm.poll() is not None:
            self.log.flush()
            raise AssertionError("openbox ended: %s" % open(self.log.name, "rb").read().decode(errors="replace"))
        return "window id" in self._run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)

    # ---------------------------------------------------------------- set-up

    def _start_x(self):
        read, write = os.pipe()
        self._start(["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx24" % (self.width, self.height),
                     "-nolisten", "tcp"], pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read, 16)
            if not chunk:
                break
            number += chunk
        os.close(read)
        if not number.strip():
            raise Timeout("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def _start_wine(self):
        subprocess.run(["wineboot", "-i"], env=self.env, check=True, timeout=180,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Fonts as a Chinese Windows has them: "宋体" exists, and the fonts
        # without Chinese (Tahoma for Wine's own boxes and menus, "MS Sans
        # Serif" for the small texts) link to a Chinese one. Micro Hei is an
        # outline font: the embedded bitmaps of other CJK fonts come out
        # broken at the small sizes under Wine.
        link = "wqy-microhei.ttc,WenQuanYi Micro Hei"
        registry = "\r\n".join([
            "Windows Registry Editor Version 5.00", "",
            r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]",
            '"宋体"="WenQuanYi Micro Hei"',
            '"SimSun"="WenQuanYi Micro Hei"', "",
            r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]",
            '"Tahoma"=hex(7):' + _multi_sz_hex(link),
            '"MS Sans Serif"=hex(7):' + _multi_sz_hex(link), "", ""])
        reg_file = os.path.join(self.env["WINEPREFIX"], "kwpshot-fonts.reg")
        with open(reg_file, "wb") as out:
            out.write(b"\xff\xfe" + registry.encode("utf-16-le"))
        subprocess.run(["wine", "regedit", "/S", reg_file], env=self.env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=180)
        # A Wine process that lives as long as the suite: the prefix's
        # server, desktop and clipboard stay up between program runs. It waits
        # on its standard input, which close() shuts.
        self.idle = self._start(["wine", "cmd"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def _start(self, command, **options):
        process = subprocess.Popen(command, env=self.env, **options)
        self.processes.append(process)
        return process

    def _run(self, command, check=True, timeout=30, data=None):
        result = subprocess.run(command, env=self.env, capture_output=True, timeout=timeout, input=data)
        if check and result.returncode != 0:
            raise AssertionError("%s failed: %s" % (command[0], result.stderr.decode(errors="replace")))
        return result.stdout.decode(errors="replace")

    def close(self):
        if getattr(self, "idle", None) and self.idle.stdin:
            try:
                self.idle.stdin.close()
            except OSError:
                pass
        if os.path.isdir(self.prefix):
            subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        shutil.rmtree(self.root, ignore_errors=True)

    # ---------------------------------------------------------------- Wine

    def start_program(self, exe, *args, **pipes):
        """A Windows program, started in the background; its standard streams
        go nowhere unless `pipes` says otherwise (stdin=, stdout=)."""
        options = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        options.update(pipes)
        return self._start(["wine", exe] + list(args), cwd=self.root, **options)

    def run_program(self, exe, *args):
        """The standard output of a Windows program run to its end."""
        return self._run(["wine", exe] + list(args), timeout=60)

    def windows_path(self, unix_path):
        return "Z:" + unix_path.replace("/", "\\")

    # ---------------------------------------------------------------- windows

    def windows(self):
        """Every mapped top-level window with a name, with its client area.
        A window of one pixel shows nothing and is left out
        (Wine maps the application window that carries a Windows program's
        taskbar entry, which has no size, as one)."""
        found = []
        # A window destroyed while xwininfo walks the tree makes it fail: walk again.
        for attempt in range(5):
            try:
                tree = self._run(["xwininfo", "-root", "-tree"])
                break
            except AssertionError:
                if attempt == 4:
                    raise
                time.sleep(0.2)
        for line in tree.splitlines():
            match = re.match(r'\s*(0x[0-9a-f]+) "(.*)": \(.*\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)',
                             line)
            if match:
                wid, name, w, h, x, y = match.groups()
                found.append(Window(wid, name, int(x), int(y), int(w), int(h)))
        mapped = set(self._run(["xdotool", "search", "--onlyvisible", "--name", ""], check=False).split())
        return [w for w in found if str(int(w.id, 16)) in mapped and w.width * w.height > 1]

    def windows_by_id(self, ids):
        """The windows with these X ids (decimal), named or not."""
        found = []
        for wid in ids:
            info = self._run(["xwininfo", "-id", wid], check=False)
            fields = dict(re.findall(r"^\s*([A-Za-z -]+):\s+(-?\d+)\s*$", info, re.M))
            name = re.search(r'xwininfo: Window id: \S+ "(.*)"', info)
            if "Width" in fields:
                found.append(Window(hex(int(wid)), name.group(1) if name else "",
                                    int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
                                    int(fields["Width"]), int(fields["Height"])))
        return found

    def window(self, name):
        for w in self.windows():
            if w.name == name:
                return w
        return None

    def wait_window(self, name, timeout=20.0):
        return wait_for("a window named %r" % name, lambda: self.window(name), timeout)

    def wait_gone(self, name, timeout=20.0):
        wait_for("the window %r to go" % name, lambda: self.window(name) is None, timeout)

    def stacking(self):
        """The X ids (decimal) of the managed windows, bottom to top, as the
        window manager stacks them."""
        text = self._run(["xprop", "-root", "-notype", "_NET_CLIENT_LIST_STACKING"])
        return [str(int(wid, 16)) for wid in re.findall(r"0x[0-9a-f]+", text)]

    def states(self, window):
        """The window's _NET_WM_STATE atoms."""
        text = self._run(["xprop", "-id", str(int(window.id, 16)), "-notype", "_NET_WM_STATE"])
        return set(re.findall(r"_NET_WM_STATE_\w+", text))

    def activate(self, window):
        self._run(["xdotool", "windowactivate", "--sync", str(int(window.id, 16))], check=False, timeout=10)
        time.sleep(0.2)

    # ---------------------------------------------------------------- input

    def move(self, x, y):
        self._run(["xdotool", "mousemove", str(x), str(y)])
        time.sleep(0.15)

    def click(self, x, y, button=1):
        self.move(x, y)
        self._run(["xdotool", "click", str(button)])
        time.sleep(0.2)

    def press(self, button=1):
        self._run(["xdotool", "mousedown", str(button)])
        time.sleep(0.2)

    def release(self, button=1):
        self._run(["xdotool", "mouseup", str(button)])
        time.sleep(0.2)

    def key(self, *keys):
        self._run(["xdotool", "key", "--delay", "60"] + list(keys))
        time.sleep(0.2)

    def type(self, text):
        self._run(["xdotool", "type", "--delay", "30", text])
        time.sleep(0.2)

    # ---------------------------------------------------------------- looking

    def set_background(self, ppm_path):
        """The picture as the root window's background, filling the screen
        (display reports a failure even when it did so: the result is what
        counts)."""
        self._run(["display", "-window", "root", ppm_path], check=False)

    def pixel(self, x, y):
        """The (r, g, b) the screen shows at (x, y)."""
        text = self._run(["import", "-window", "root", "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"])
        match = re.search(r"\((\d+),(\d+),(\d+)", text.splitlines()[-1])
        return tuple(int(v) for v in match.groups())

    def screenshot(self, path, crop=None, scale=None):
        """A PNG of the screen, or of crop = (x, y, width, height)."""
        whole = os.path.join(self.root, "screen.png")
        self._run(["import", "-window", "root", whole], timeout=60)
        command = ["convert", whole]
        if crop:
            x, y, width, height = crop
            x, y = max(x, 0), max(y, 0)
            command += ["-crop", "%dx%d+%d+%d" % (min(width, self.width - x), min(height, self.height - y), x, y),
                        "+repage"]
        if scale:
            command += ["-resize", scale]
        self._run(command + ["-depth", "8", path], timeout=60)

    def clipboard(self, target):
        result = subprocess.run(["xclip", "-selection", "clipboard", "-t", target, "-o"], env=self.env,
                                capture_output=True, timeout=20)
        return result.stdout if result.returncode == 0 else b""


def _multi_sz_hex(*strings):
    """A REG_MULTI_SZ value as a .reg file writes it: UTF-16 LE bytes in hex."""
    data = "".join(text + "\0" for text in strings) + "\0"
    return ",".join("%02x" % byte for byte in data.encode("utf-16-le"))
