#!/usr/bin/env python3
"""One capture on a virtual desktop, made as a person would make it: the
main window opens, Capture is pressed, two clicks select a region of the
desktop picture, the save dialog is answered. Leaves the JPEG and screenshots
in the folder given (scripts/run.sh uses this where there is no display).

    demo_capture.py --program build/kwpshot --out FOLDER
"""
import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kwpshot_e2e as e2e  # noqa: E402
from xdesktop import wait_until  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    args.out = os.path.abspath(args.out)
    args.docs = None
    with e2e.Fixture(args, "capture") as fx:
        e2e.show_pattern(fx)
        program = fx.start_program()
        fx.wait_running(program)
        window = fx.main_window()
        fx.shot("1-main-window.png", fx.window_with_frame(window))
        fx.desktop.key("alt+n")  # 截图&N
        dialog = e2e.capture_region(fx, (400, 300), (1000, 700), mid=(800, 560), drag_shot="2-selecting.png")
        fx.shot("3-save-dialog.png")
        jpeg = os.path.join(fx.out, "capture.jpg")
        e2e.answer_dialog(fx, dialog, jpeg)
        wait_until(lambda: os.path.exists(jpeg) and open(jpeg, "rb").read(2) == b"\xff\xd8", 15, "the JPEG")
        fx.exit_through_tray(program)
    for name in os.listdir(os.path.join(args.out, "capture")):
        if name.endswith((".png", ".jpg")) and name != "pattern.png":
            shutil.move(os.path.join(args.out, "capture", name), os.path.join(args.out, name))
    print(os.path.join(args.out, "capture.jpg"))


if __name__ == "__main__":
    main()
