"""A headless Wayland desktop for end-to-end tests: a session bus, sway on
its headless back end (pixman renderer, no input devices), pipewire, the
screenshot portal (xdg-desktop-portal-wlr, xdg-desktop-portal-gtk for the
Access dialog, then the xdg-desktop-portal front end), and a virtual pointer
and keyboard kept attached for the whole test. A person's hands are
`swaymsg seat seat0 cursor ...` and wtype; eyes are grim and `swaymsg -t
get_tree`. Everything started here is stopped on leaving the context.

Run as an ordinary user (sway refuses root) with a /tmp of its own: the wlr
portal always writes its screenshot to /tmp/out.png. scripts/test-wayland.sh
arranges both.
"""
import glob
import json
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from xdesktop import Process, Timeout, wait_until  # noqa: E402,F401

PORTAL_DESKTOP = "org.freedesktop.portal.Desktop"
WLR_PORTAL = "org.freedesktop.impl.portal.desktop.wlr"
GTK_PORTAL = "org.freedesktop.impl.portal.desktop.gtk"
SYSTEM_PORTALS = "/usr/share/xdg-desktop-portal/portals"

# Nothing is started on demand: a back end a test stops stays stopped.
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path={path}</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class WaylandDesktop:
    def __init__(self, workdir, logdir, helpers, size=(1920, 1080), background=None, session_env=None,
                 bindings=(), extra_portals=(), with_bar=True, scale=1):
        """helpers: the folder with virtual_input. session_env: variables every
        program of the session gets (sway passes them to what it starts).
        bindings: (keys, command) pairs for sway's bindsym. extra_portals:
        (name, portal file text, command) for further portal back ends.
        size is the output's in device pixels; with an integer scale, WIDTH
        and HEIGHT (what the cursor commands and grim's regions use) are
        that divided by the scale."""
        self.workdir = workdir
        self.logdir = logdir
        self.helpers = helpers
        self.size = size
        self.scale = scale
        self.WIDTH, self.HEIGHT = size[0] // scale, size[1] // scale
        self.background = background
        self.session_env = dict(session_env or {})
        self.bindings = list(bindings)
        self.extra_portals = list(extra_portals)
        self.with_bar = with_bar
        self.processes = []
        self.runtime = os.path.join(workdir, "run")
        self.bus_path = os.path.join(self.runtime, "bus")
        self.wayland_display = None
        self.swaysock = None
        self.portal_processes = {}

    # ------------------------------------------------------------ life
    def __enter__(self):
        try:
            os.makedirs(self.runtime, mode=0o700, exist_ok=True)
            os.chmod(self.runtime, 0o700)
            self._start_bus()
            self._start_sway()
            self.start(["pipewire"], "pipewire.log")
            wait_until(lambda: os.path.exists(os.path.join(self.runtime, "pipewire-0")), 20, "pipewire")
            self.start_portal_backend(WLR_PORTAL)
            self.start_portal_backend(GTK_PORTAL)
            for name, _, command in self.extra_portals:
                self.portal_processes[name] = self.start(command, f"{name}.log")
                self.wait_name(name, 20)
            self._start_portal_frontend()
            self.virtual_input = self.start([os.path.join(self.helpers, "virtual_input")], "virtual-input.log")
            wait_until(lambda: "ready" in self.virtual_input.output() or not self.virtual_input.running(), 20,
                       "the virtual pointer and keyboard")
            assert self.virtual_input.running(), "virtual_input ended: " + self.virtual_input.output()
            wait_until(self._seat_has_input, 10, "the seat's pointer and keyboard")
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        if self.swaysock and self.sway.running():
            self.swaymsg("exit", check=False)
            try:
                self.sway.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass
        for process in reversed(self.processes):
            process.close()
        self.processes.clear()

    def env(self, **extra):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("DBUS_", "WAYLAND_", "DISPLAY", "SWAYSOCK", "XDG_"))}
        env.update(self.session_env)
        env["XDG_RUNTIME_DIR"] = self.runtime
        env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + self.bus_path
        env["XDG_CURRENT_DESKTOP"] = "sway"
        env["XDG_SESSION_TYPE"] = "wayland"
        if self.wayland_display:
            env["WAYLAND_DISPLAY"] = self.wayland_display
        if self.swaysock:
            env["SWAYSOCK"] = self.swaysock
        env.update(extra)
        return env

    def start(self, args, log_name, env=None):
        process = Process(args, env or self.env(), os.path.join(self.logdir, log_name))
        self.processes.append(process)
        return process

    def stop(self, process):
        process.close()
        if process in self.processes:
            self.processes.remove(process)

    def _start_bus(self):
        config = os.path.join(self.runtime, "bus.conf")
        with open(config, "w") as f:
            f.write(BUS_CONFIG.format(path=self.bus_path))
        self.start(["dbus-daemon", "--nofork", "--config-file=" + config], "dbus.log")
        wait_until(lambda: os.path.exists(self.bus_path), 20, "the session bus")

    def _sway_config(self):
        lines = [f"output HEADLESS-1 resolution {self.size[0]}x{self.size[1]} position 0 0 scale {self.scale}"
                 + (f" bg {self.background} fill" if self.background else " bg #336699 solid_color")]
        lines += ["default_border none", "default_floating_border none", "focus_on_window_activation focus"]
        for keys, command in self.bindings:
            lines.append(f"bindsym {keys} exec {command}")
        if self.with_bar:
            # A bar with a tray (the StatusNotifierItem host) and nothing that changes.
            lines += ["bar {", "  position top", "  tray_output *", "}"]
        path = os.path.join(self.workdir, "sway.conf")
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")
        return path

    def _start_sway(self):
        env = self.env(WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman")
        before = set(os.listdir(self.runtime))
        self.sway = self.start(["sway", "--config", self._sway_config()], "sway.log", env=env)

        def sockets():
            assert self.sway.running(), "sway ended at start: " + self.sway.output()
            ipc = glob.glob(os.path.join(self.runtime, f"sway-ipc.*.{self.sway.pid}.sock"))
            displays = [n for n in set(os.listdir(self.runtime)) - before
                        if re.fullmatch(r"wayland-\d+", n)]
            return ipc and displays and (ipc[0], displays[0])
        self.swaysock, self.wayland_display = wait_until(sockets, 30, "sway's sockets")
        wait_until(lambda: self.outputs(), 20, "sway's output")
        if self.background:
            wait_until(lambda: self.pixel(self.WIDTH // 2, self.HEIGHT * 3 // 4) != (0, 0, 0), 20,
                       "the background picture")

    def start_portal_backend(self, name):
        binary = {WLR_PORTAL: "/usr/libexec/xdg-desktop-portal-wlr",
                  GTK_PORTAL: "/usr/libexec/xdg-desktop-portal-gtk"}[name]
        self.portal_processes[name] = self.start([binary], name.rsplit(".", 1)[1] + "-portal.log")
        self.wait_name(name, 20)

    def stop_portal_backend(self, name):
        process = self.portal_processes.pop(name)
        self.stop(process)
        wait_until(lambda: not self.name_has_owner(name), 10, f"{name} to leave the bus")

    def _start_portal_frontend(self):
        # The front end reads the back ends from a folder of the test's own.
        portals = os.path.join(self.workdir, "portals")
        os.makedirs(portals, exist_ok=True)
        for f in ("wlr.portal", "gtk.portal"):
            shutil.copy(os.path.join(SYSTEM_PORTALS, f), portals)
        for name, text, _ in self.extra_portals:
            with open(os.path.join(portals, name + ".portal"), "w") as f:
                f.write(text)
        self.start(["/usr/libexec/xdg-desktop-portal", "--replace"], "portal.log",
                   env=self.env(XDG_DESKTOP_PORTAL_DIR=portals))
        self.wait_name(PORTAL_DESKTOP, 30)

    # ------------------------------------------------------------ the bus
    def gdbus(self, *args, check=True, timeout=30):
        return self.run(["gdbus", *args], check=check, timeout=timeout)

    def name_has_owner(self, name):
        out = self.gdbus("call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                         "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.NameHasOwner", name,
                         check=False)
        return "true" in out

    def wait_name(self, name, timeout):
        wait_until(lambda: self.name_has_owner(name), timeout, f"{name} on the session bus")

    # ------------------------------------------------------------ sway
    def run(self, args, check=True, input=None, binary=False, timeout=30, env=None):
        result = subprocess.run(args, env=env or self.env(), input=input, capture_output=True, timeout=timeout)
        if check and result.returncode != 0:
            raise AssertionError(f"{args} failed ({result.returncode}): {result.stderr.decode(errors='replace')}")
        return result.stdout if binary else result.stdout.decode("utf-8", "replace")

    def swaymsg(self, *args, check=True):
        return self.run(["swaymsg", *map(str, args)], check=check)

    def outputs(self):
        return json.loads(self.swaymsg("-r", "-t", "get_outputs"))

    def _seat_has_input(self):
        seats = json.loads(self.swaymsg("-r", "-t", "get_seats"))
        capabilities = seats[0].get("capabilities", 0) if seats else 0
        return capabilities & 3 == 3  # pointer and keyboard

    def views(self):
        """Every mapped window: {name, app_id, pid, rect, focused, fullscreen_mode, ...}."""
        found = []

        def walk(node, scratch):
            scratch = scratch or node.get("name") == "__i3_scratch"
            if node.get("type") in ("con", "floating_con") and node.get("pid") and not scratch:
                found.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child, scratch)
        walk(json.loads(self.swaymsg("-r", "-t", "get_tree")), False)
        return found

    def windows(self, name_regex):
        """Mapped windows whose title matches, as tree nodes."""
        return [v for v in self.views() if re.search(name_regex, v.get("name") or "")]

    def focus(self, window):
        self.swaymsg(f"[con_id={window['id']}]", "focus")
        wait_until(lambda: any(v["id"] == window["id"] and v["focused"] for v in self.views()), 10,
                   "the window to take the focus")

    def geometry(self, window):
        """(x, y, width, height) of a window's surface on the screen."""
        r, w = window["rect"], window["window_rect"]
        return (r["x"] + w["x"], r["y"] + w["y"], w["width"], w["height"])

    # ------------------------------------------------------------ hands
    def move_to(self, x, y):
        self.swaymsg("seat", "seat0", "cursor", "set", x, y)

    def press(self, button=1):
        self.swaymsg("seat", "seat0", "cursor", "press", f"button{button}")

    def release(self, button=1):
        self.swaymsg("seat", "seat0", "cursor", "release", f"button{button}")

    def click_at(self, x, y, button=1):
        self.move_to(x, y)
        self.press(button)
        self.release(button)

    def park_cursor(self):
        """The software cursor shows in every screen picture: put it in the
        bottom-right corner, where it covers only that corner pixel."""
        self.move_to(self.WIDTH - 1, self.HEIGHT - 1)

    def key(self, *combos):
        """Presses combinations such as "ctrl+a", "alt+y", "Return"."""
        for combo in combos:
            *mods, key = combo.split("+")
            args = ["wtype"]
            for mod in mods:
                args += ["-M", {"super": "logo"}.get(mod, mod)]
            args += ["-k", key]
            for mod in reversed(mods):
                args += ["-m", {"super": "logo"}.get(mod, mod)]
            self.run(args)

    def type_text(self, text):
        self.run(["wtype", "-d", "10", "--", text])

    # ------------------------------------------------------------ eyes
    def screenshot(self, path, crop=None):
        """The screen, or (x, y, w, h) of it, as grim sees it (PNG)."""
        args = ["grim"]
        if crop:
            x, y, w, h = crop
            args += ["-g", f"{x},{y} {w}x{h}"]
        self.run(args + [path])
        return path

    def pixel(self, x, y):
        raw = self.run(["grim", "-g", f"{x},{y} 1x1", "-t", "ppm", "-"], binary=True)
        return tuple(raw[-3:])
