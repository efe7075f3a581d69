#!/usr/bin/env python3
"""A pointer for a compositor that has no input device.

    virtual_pointer.py FIFO WIDTH HEIGHT

Makes a virtual pointer through zwlr_virtual_pointer_manager_v1 (sway) or
org_kde_kwin_fake_input (KWin), prints "ready" once the compositor has it,
then reads commands from FIFO until the compositor goes:

    move X Y        puts the pointer at X, Y of the WIDTH x HEIGHT screen
    press BUTTON    left, right or middle
    release BUTTON

It speaks the Wayland wire protocol itself (python3's standard library only).
"""
import os
import socket
import struct
import sys
import time

BUTTONS = {"left": 0x110, "right": 0x111, "middle": 0x112}


class Connection:
    def __init__(self):
        name = os.environ["WAYLAND_DISPLAY"]
        if not name.startswith("/"):
            name = os.path.join(os.environ["XDG_RUNTIME_DIR"], name)
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(name)
        self.next_id = 2  # 1 is wl_display
        self.buffer = b""

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def send(self, target, opcode, payload=b""):
        self.sock.sendall(struct.pack("<II", target, (8 + len(payload)) << 16 | opcode) + payload)

    def events(self):
        """Reads what has come: (object, opcode, payload) each."""
        while len(self.buffer) < 8:
            data = self.sock.recv(65536)
            if not data:
                raise EOFError("the compositor went")
            self.buffer += data
        while len(self.buffer) >= 8:
            target, word = struct.unpack("<II", self.buffer[:8])
            size = word >> 16
            if len(self.buffer) < size:
                data = self.sock.recv(65536)
                if not data:
                    raise EOFError("the compositor went")
                self.buffer += data
                continue
            payload = self.buffer[8:size]
            self.buffer = self.buffer[size:]
            yield target, word & 0xFFFF, payload

    def roundtrip(self, on_event=None):
        callback = self.new_id()
        self.send(1, 0, struct.pack("<I", callback))  # wl_display.sync
        while True:
            for target, opcode, payload in self.events():
                if target == callback:
                    return
                if on_event:
                    on_event(target, opcode, payload)


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def stamp():
    return int(time.monotonic() * 1000) & 0xFFFFFFFF


def bind(wl, registry, globals_, interface, version):
    name, offered = globals_[interface]
    new = wl.new_id()
    wl.send(registry, 0, struct.pack("<I", name) + string(interface) + struct.pack("<II", min(version, offered), new))
    return new


def wlroots_pointer(wl, registry, globals_, width, height):
    manager = bind(wl, registry, globals_, "zwlr_virtual_pointer_manager_v1", 1)
    pointer = wl.new_id()
    wl.send(manager, 0, struct.pack("<II", 0, pointer))  # create_virtual_pointer(no seat: the default)

    def send(words):
        if words[0] == "move":
            wl.send(pointer, 1, struct.pack("<IIIII", stamp(), int(words[1]), int(words[2]), width, height))
        else:
            wl.send(pointer, 2, struct.pack("<III", stamp(), BUTTONS[words[1]], int(words[0] == "press")))
        wl.send(pointer, 4)  # frame

    return send


def kwin_pointer(wl, registry, globals_):
    fake = bind(wl, registry, globals_, "org_kde_kwin_fake_input", 4)
    wl.send(fake, 0, string("Folderly tests") + string("to click as a person does"))  # authenticate

    def send(words):
        if words[0] == "move":  # pointer_motion_absolute, in 24.8 fixed point
            wl.send(fake, 9, struct.pack("<ii", int(words[1]) * 256, int(words[2]) * 256))
        else:
            wl.send(fake, 2, struct.pack("<II", BUTTONS[words[1]], int(words[0] == "press")))

    return send


def main():
    fifo, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    wl = Connection()
    registry = wl.new_id()
    wl.send(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
    globals_ = {}

    def on_global(target, opcode, payload):
        if target == registry and opcode == 0:
            name, length = struct.unpack("<II", payload[:8])
            interface = payload[8:8 + length - 1].decode()
            version = struct.unpack("<I", payload[8 + ((length + 3) & ~3):][:4])[0]
            globals_[interface] = (name, version)

    wl.roundtrip(on_global)
    if "zwlr_virtual_pointer_manager_v1" in globals_:
        send = wlroots_pointer(wl, registry, globals_, width, height)
    elif "org_kde_kwin_fake_input" in globals_:
        send = kwin_pointer(wl, registry, globals_)
    else:
        sys.exit("the compositor offers no virtual pointer")
    wl.roundtrip()
    print("ready", flush=True)

    # Opened for writing too, so that a writer closing it is no end.
    with os.fdopen(os.open(fifo, os.O_RDWR)) as commands:
        for line in commands:
            words = line.split()
            if not words:
                continue
            send(words)
            wl.roundtrip()


if __name__ == "__main__":
    main()
