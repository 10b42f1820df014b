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
import os
import signal
import sys
import tempfile
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from wldesktop import WaylandDesktop, wait_until  # noqa: E402


class Skip(Exception):
    """A scenario that cannot run yet: the reason is printed."""


def scenario_desktop(args):
    """The test desktop itself: a Qt window on Wayland takes a click and typed
    keys, grim reads the screen, and the Screenshot portal answers."""
    import portal_client
    with Desktop(args, "desktop") as (desktop, work):
        probe = desktop.start([os.path.join(args.helpers, "probe_window")], "probe.log",
                              env=desktop.env(QT_QPA_PLATFORM="wayland"))
        window = wait_until(lambda: desktop.windows("^probe-window$"), 30, "the probe window")[0]
        x, y, w, h = desktop.geometry(window)
        desktop.click_at(x + w // 2, y + h // 4)
        wait_until(lambda: "clicked" in probe.output(), 10, "the click to reach the window")
        desktop.type_text("Hello wayland 123")
        desktop.key("Return")
        wait_until(lambda: "typed Hello wayland 123" in probe.output(), 10, "the typed text")

        shot = desktop.screenshot(os.path.join(work, "screen.png"))
        assert os.path.getsize(shot) > 0
        answer = portal_client.screenshot(desktop.env()["DBUS_SESSION_BUS_ADDRESS"])
        assert answer is not None, "the Screenshot portal did not answer"
        code, results = answer
        assert code == 0, f"the Screenshot portal answered {code}"
        uri = str(results["uri"])
        assert uri.startswith("file://") and os.path.exists(uri[7:]), f"no picture at {uri}"


class Desktop:
    """A fresh desktop per scenario, with its logs in the scenario's folder
    and its files in a temporary folder."""

    def __init__(self, args, name, **options):
        self.out = os.path.join(args.out, name)
        os.makedirs(self.out, exist_ok=True)
        self.work = tempfile.mkdtemp(prefix="kwpshot-wl-")
        self.desktop = WaylandDesktop(self.work, self.out, args.helpers, **options)

    def __enter__(self):
        return self.desktop.__enter__(), self.work

    def __exit__(self, *exc):
        self.desktop.__exit__(*exc)


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
