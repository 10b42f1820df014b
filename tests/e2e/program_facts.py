"""What the end-to-end suites know of the program as a user sees it: window
titles, the settings file's key names, where the main window's controls lie.
Shared by the X11 suite and the Wayland suite."""

TITLE = "Pixnab简体中文免费版V3.02.29"
MAIN = "^Pixnab"
BOX = "^信息框$"
SAVE_DIALOG = "^Save As$"
OVERLAY = "^Form5$"

QUALITY_KEY = b"\xbd\xd8\xcd\xbc\xd6\xca\xc1\xbf"  # 截图质量
HOTKEY_KEY = b"\xbd\xd8\xcd\xbc\xc8\xc8\xbc\xfc"  # 截图热键
HIDE_KEY = b"\xd2\xfe\xb2\xd8"  # 隐藏

# Client-area points of the main window's controls (panel at 0,141).
EDIT1 = (232 + 24, 141 + 3 + 11)
HOTKEY2 = (62 + 49, 141 + 4 + 10)
CHECKBOX1 = (32 + 8, 141 + 36 + 8)

STARTUP = 30  # seconds; a sanitizer build under load starts slowly


def ini_bytes(quality=b"50", hotkey=b"16465", hidden=b"0"):
    """A settings file as the program writes it."""
    return (b"[jtzl]\r\n" + QUALITY_KEY + b"=" + quality + b"\r\n" + b"[HotKey2]\r\n" + HOTKEY_KEY + b"=" +
            hotkey + b"\r\n" + b"[yincang]\r\n" + HIDE_KEY + b"=" + hidden + b"\r\n")
