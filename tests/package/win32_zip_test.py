#!/usr/bin/env python3
"""The Windows release zip as a user unpacks it: one folder named after the
version, holding the program as built, 使用说明.txt that Notepad reads (UTF-8
with a byte-order mark, CR LF) and names the hotkey and the settings file,
and the licence texts; names flagged as UTF-8, so Windows shows the Chinese
name right. The version in the zip's name is the one in the program's
version resource.

    win32_zip_test.py build-win32/kwpshot-<version>-win32.zip build-win32/kwpshot.exe"""
import os
import re
import struct
import sys
import zipfile


def main():
    zip_path, exe_path = sys.argv[1], sys.argv[2]
    match = re.fullmatch(r"kwpshot-(\d+\.\d+\.\d+)-win32\.zip", os.path.basename(zip_path))
    assert match, f"{zip_path}: not kwpshot-<version>-win32.zip"
    version = match.group(1)
    folder = f"kwpshot-{version}-win32/"
    with zipfile.ZipFile(zip_path) as z:
        files = {info.filename: info for info in z.infolist() if not info.is_dir()}
        expected = {folder + name for name in ("kwpshot.exe", "使用说明.txt", "licenses/libjpeg-turbo/LICENSE.md",
                                               "licenses/libjpeg-turbo/README.ijg",
                                               "licenses/mingw-w64/copyright.txt")}
        assert set(files) == expected, f"zip holds {sorted(files)}"
        guide = files[folder + "使用说明.txt"]
        assert guide.flag_bits & 0x800, "the Chinese name is not flagged as UTF-8"
        exe = z.read(folder + "kwpshot.exe")
        text = z.read(guide)
        licence = z.read(folder + "licenses/libjpeg-turbo/LICENSE.md").decode()
    with open(exe_path, "rb") as f:
        assert exe == f.read(), "the zip's kwpshot.exe is not the one built"

    assert text.startswith(b"\xef\xbb\xbf"), "使用说明.txt has no byte-order mark"
    assert b"\n" not in text.replace(b"\r\n", b""), "使用说明.txt lines must end in CR LF"
    guide_text = text.decode("utf-8-sig")
    for needed in (f"kwpshot {version}", "Ctrl+Q", "kwpshot.ini", "Esc"):
        assert needed in guide_text, f"使用说明.txt does not mention {needed}"
    assert "libjpeg-turbo" in licence and "\r\n" in licence

    # The version resource's fixed part: signature, structure version, then
    # the file version as major.minor and patch.build words.
    at = exe.find(struct.pack("<I", 0xFEEF04BD))
    assert at >= 0, "kwpshot.exe has no version resource"
    ms, ls = struct.unpack_from("<II", exe, at + 8)
    major, minor, patch = (int(n) for n in version.split("."))
    assert (ms, ls) == ((major << 16) | minor, patch << 16), \
        f"version resource says {ms >> 16}.{ms & 0xFFFF}.{ls >> 16}, the zip {version}"
    assert version.encode("utf-16-le") in exe, "the version text is not in the version resource"
    print(f"release zip {os.path.basename(zip_path)}: {len(files)} files, version {version}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
