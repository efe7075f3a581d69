#!/usr/bin/env python3
"""What the tests ask of a headless GNOME Shell over its session bus.

    gnome_shell.py overview-off     leaves the overview it starts in
    gnome_shell.py shot FILE.png    the whole screen, through the Shell's
                                    screenshot service (which answers only the
                                    owner of org.gnome.Screenshot)
    gnome_shell.py input FIFO       a remote-desktop session of mutter that
                                    prints "ready", then reads commands from
                                    FIFO until killed:
        move X Y                    the pointer to X, Y
        press BUTTON / release BUTTON   left, right or middle
        key NAME[+NAME...]          keys pressed in turn, then released:
                                    Down, Return, Alt_L+F4
"""
import os
import sys

import dbus
import dbus.service

SHELL = "org.gnome.Shell"
BUTTONS = {"left": 0x110, "right": 0x111, "middle": 0x112}
KEYSYMS = {"Down": 0xFF54, "Up": 0xFF52, "Return": 0xFF0D, "Escape": 0xFF1B, "Alt_L": 0xFFE9, "F4": 0xFFC1}


def overview_off(bus):
    shell = bus.get_object(SHELL, "/org/gnome/Shell")
    shell.Set(SHELL, "OverviewActive", dbus.Boolean(False), dbus_interface="org.freedesktop.DBus.Properties")


def shot(bus, path):
    # Held for as long as this process lives.
    name = dbus.service.BusName("org.gnome.Screenshot", bus)
    screenshot = bus.get_object(SHELL + ".Screenshot", "/org/gnome/Shell/Screenshot")
    done, _ = screenshot.Screenshot(False, False, os.path.abspath(path), dbus_interface=SHELL + ".Screenshot")
    del name
    if not done:
        sys.exit("the shell took no screenshot")


def serve_input(bus, fifo):
    remote = bus.get_object("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop")
    path = remote.CreateSession(dbus_interface="org.gnome.Mutter.RemoteDesktop")
    session = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", path),
                             "org.gnome.Mutter.RemoteDesktop.Session")
    session.Start()
    # Only relative motion needs no screen-cast stream: first into the top
    # left corner, then from where the pointer is.
    session.NotifyPointerMotionRelative(-10000.0, -10000.0)
    at = [0, 0]
    print("ready", flush=True)
    # Opened for writing too, so that a writer closing it is no end.
    with os.fdopen(os.open(fifo, os.O_RDWR)) as commands:
        for line in commands:
            words = line.split()
            if not words:
                continue
            if words[0] == "move":
                x, y = int(words[1]), int(words[2])
                session.NotifyPointerMotionRelative(float(x - at[0]), float(y - at[1]))
                at = [x, y]
            elif words[0] in ("press", "release"):
                session.NotifyPointerButton(BUTTONS[words[1]], words[0] == "press")
            elif words[0] == "key":
                keys = [dbus.UInt32(KEYSYMS[name]) for name in words[1].split("+")]
                for key in keys:
                    session.NotifyKeyboardKeysym(key, True)
                for key in reversed(keys):
                    session.NotifyKeyboardKeysym(key, False)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    bus = dbus.SessionBus()
    try:
        if sys.argv[1] == "overview-off":
            overview_off(bus)
        elif sys.argv[1] == "shot":
            shot(bus, sys.argv[2])
        elif sys.argv[1] == "input":
            serve_input(bus, sys.argv[2])
        else:
            sys.exit(__doc__)
    except dbus.DBusException as error:
        sys.exit("%s: %s" % (sys.argv[1], error.get_dbus_message()))


if __name__ == "__main__":
    main()
