#!/usr/bin/env python3
"""The Debian package as a user gets it: its fields and files are checked,
it is installed with `apt-get install ./kwpshot_*.deb`, the installed
/usr/bin/kwpshot starts on a virtual X desktop (tests/e2e/xdesktop.py) to its
main window and is ended through its tray menu, and the package is removed
again, on every way out.

    deb_test.py --deb build-release/kwpshot_<version>_<arch>.deb [--out DIR]

Needs root (or sudo) for apt-get. Ends with "N passed, M failed"."""
import argparse
import os
import subprocess
import sys
import traceback

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "e2e"))
from kwpshot_e2e import Fixture  # noqa: E402

INSTALLED = "/usr/bin/kwpshot"
FILES = ["/usr/bin/kwpshot", "/usr/share/applications/kwpshot.desktop"] + [
    f"/usr/share/icons/hicolor/{size}x{size}/apps/kwpshot.png" for size in (16, 32, 48, 64, 128, 256)]
# Beside what the linked libraries need: loaded by name, so named by hand.
NAMED_DEPENDS = {"fonts-wqy-zenhei", "qt6-wayland"}
LINKED_DEPENDS = {"libqt6widgets6", "libjpeg62-turbo", "libxcb1"}


def run(args, **options):
    return subprocess.run(args, check=True, capture_output=True, text=True, **options).stdout


def as_root(args):
    return args if os.geteuid() == 0 else ["sudo"] + args


def apt_get(*args, cwd=None):
    # Another apt run on the machine holds the lock for a while: wait for it.
    run(as_root(["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=300", *args]), cwd=cwd,
        env={**os.environ, "DEBIAN_FRONTEND": "noninteractive"})


def check_fields(deb, version):
    fields = {name: run(["dpkg-deb", "-f", deb, name]).strip() for name in ("Package", "Version", "Depends")}
    assert fields["Package"] == "kwpshot", fields
    assert fields["Version"] == version, f"version {fields['Version']}, file name says {version}"
    depends = {alternative.split()[0] for item in fields["Depends"].split(",") for alternative in item.split("|")}
    missing = (NAMED_DEPENDS | LINKED_DEPENDS) - depends
    assert not missing, f"Depends lacks {sorted(missing)}: {fields['Depends']}"
    listed = {line.split()[-1].lstrip(".") for line in run(["dpkg-deb", "-c", deb]).splitlines()}
    absent = set(FILES) - listed
    assert not absent, f"not in the package: {sorted(absent)}"


def check_installed_program(out):
    for path in FILES:
        assert os.path.exists(path), f"{path} is not installed"
    args = argparse.Namespace(program=INSTALLED, out=out, docs=None)
    with Fixture(args, "installed") as fx:
        program = fx.start_program()
        fx.wait_running(program)
        window = fx.main_window()
        fx.shot("installed-main-window.png", fx.window_with_frame(window))
        fx.exit_through_tray(program)


class Steps:
    """Runs the steps in order, each reported; after a failure only the
    clean-up steps run."""

    def __init__(self):
        self.passed = self.failed = 0

    def run(self, what, step, cleanup=False):
        if self.failed and not cleanup:
            print(f"SKIP {what}", flush=True)
            return
        try:
            step()
            print(f"PASS {what}", flush=True)
            self.passed += 1
        except Exception:  # noqa: BLE001 - every failure is reported
            print(f"FAIL {what}", flush=True)
            traceback.print_exc()
            self.failed += 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--deb", required=True)
    parser.add_argument("--out", default="package-out")
    args = parser.parse_args()
    deb = os.path.abspath(args.deb)
    name = os.path.basename(deb)
    parts = name[:-len(".deb")].split("_") if name.endswith(".deb") else []
    steps = Steps()

    def named():
        assert len(parts) == 3 and parts[0] == "kwpshot", f"{name} is not kwpshot_<version>_<arch>.deb"
        assert not os.path.exists(INSTALLED), f"{INSTALLED} exists before the package is installed"

    def install():
        apt_get("install", "./" + name, cwd=os.path.dirname(deb))
        assert run(["dpkg-query", "-W", "-f=${Status}", "kwpshot"]) == "install ok installed"

    def remove():
        apt_get("purge", "kwpshot")
        assert not os.path.exists(INSTALLED), f"{INSTALLED} is still there after the purge"

    steps.run("file name", named)
    steps.run("package fields and files", lambda: check_fields(deb, parts[1]))
    if steps.failed:
        print(f"{steps.passed} passed, {steps.failed} failed")
        return 1
    steps.run("apt-get install ./" + name, install)
    steps.run("installed program shows its main window", lambda: check_installed_program(os.path.abspath(args.out)))
    steps.run("package removed", remove, cleanup=True)
    print(f"{steps.passed} passed, {steps.failed} failed")
    return 1 if steps.failed else 0


if __name__ == "__main__":
    sys.exit(main())
