#!/usr/bin/env python3
"""The whole screen of a KWin (KDE Plasma) on the session bus, as a PNG:

    kwin_screenshot.py FILE.png

KWin writes the picture into a pipe (ScreenShot2.CaptureWorkspace) and says
its size and format in the answer; ImageMagick's convert makes the PNG.
"""
import os
import subprocess
import sys
import threading

import dbus


def main():
    r, w = os.pipe()
    data = []
    reader = threading.Thread(target=lambda: data.append(os.fdopen(r, "rb").read()))
    reader.start()
    kwin = dbus.SessionBus().get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2")
    try:
        result = kwin.CaptureWorkspace({"include-cursor": False}, dbus.types.UnixFd(w),
                                       dbus_interface="org.kde.KWin.ScreenShot2")
    except dbus.DBusException as error:
        os.close(w)
        sys.exit("shot: %s" % error.get_dbus_message())
    os.close(w)
    reader.join()
    width, height, stride = int(result["width"]), int(result["height"]), int(result["stride"])
    # (QImage's 32-bit formats lie in memory as blue, green, red, alpha)
    rows = b"".join(data[0][y * stride:y * stride + width * 4] for y in range(height))
    subprocess.run(["convert", "-size", "%dx%d" % (width, height), "-depth", "8", "bgra:-", "-alpha", "off",
                    sys.argv[1]], input=rows, check=True)


if __name__ == "__main__":
    main()
