#!/usr/bin/env python3
"""A pointer for a wlroots compositor (sway) that has no input device.

    virtual_pointer.py FIFO WIDTH HEIGHT

Makes a virtual pointer through zwlr_virtual_pointer_manager_v1, prints
"ready" once the compositor has it, then reads commands from FIFO until it
is removed or the compositor goes:

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
    interface = "zwlr_virtual_pointer_manager_v1"
    if interface not in globals_:
        sys.exit("the compositor has no %s" % interface)
    manager = wl.new_id()
    name, _ = globals_[interface]
    wl.send(registry, 0, struct.pack("<I", name) + string(interface) + struct.pack("<II", 1, manager))
    pointer = wl.new_id()
    wl.send(manager, 0, struct.pack("<II", 0, pointer))  # create_virtual_pointer(no seat: the default)
    wl.roundtrip()
    print("ready", flush=True)

    def stamp():
        return int(time.monotonic() * 1000) & 0xFFFFFFFF

    # Opened for writing too, so that a writer closing it is no end.
    with os.fdopen(os.open(fifo, os.O_RDWR)) as commands:
        for line in commands:
            words = line.split()
            if not words:
                continue
            if words[0] == "move":
                wl.send(pointer, 1, struct.pack("<IIIII", stamp(), int(words[1]), int(words[2]), width, height))
            elif words[0] in ("press", "release"):
                wl.send(pointer, 2, struct.pack("<III", stamp(), BUTTONS[words[1]], int(words[0] == "press")))
            wl.send(pointer, 4)  # frame
            wl.roundtrip()


if __name__ == "__main__":
    main()
