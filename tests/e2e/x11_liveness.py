#!/usr/bin/python3
"""Whether a window stays alive on X11 while a command runs:

    x11_liveness.py WINDOW X,Y,W,H -- COMMAND [ARG...]

Runs COMMAND. While it runs, WINDOW gets a _NET_WM_PING every half second,
as a window manager sends it, and each must be answered within a second (the
answer comes to the root window). One second in, a window of a solid colour
covers the part X,Y,W,H of the screen for a moment; once it is gone, that
part must be painted again within a second. Prints what it saw; exits 3
when a ping went unanswered, the part stayed the cover's colour or the
command ended too soon to tell, else with COMMAND's status.
"""
import subprocess
import sys
import time

from Xlib import X, display, protocol

PING_EVERY, ANSWER_WITHIN, COVER_AT, COVER_FOR = 0.5, 1.0, 1.0, 0.3
RED = (255, 0, 0)


class Watch:
    def __init__(self, window_id, area):
        self.x = display.Display()
        self.root = self.x.screen().root
        self.window = self.x.create_resource_object("window", window_id)
        self.area = area
        self.protocols = self.x.intern_atom("WM_PROTOCOLS")
        self.ping_atom = self.x.intern_atom("_NET_WM_PING")
        # The answers come to the root window, for those who watch its
        # structure or its substructure (programs differ).
        self.root.change_attributes(event_mask=X.StructureNotifyMask | X.SubstructureNotifyMask)
        self.sent = {}  # stamp: when
        self.waits = []  # seconds each answered ping waited
        self.failures = []
        self.cover = None
        self.uncovered = None

    def ping(self, stamp):
        event = protocol.event.ClientMessage(window=self.window, client_type=self.protocols,
                                             data=(32, [self.ping_atom, stamp, self.window.id, 0, 0]))
        self.window.send_event(event, event_mask=X.NoEventMask)
        self.x.flush()
        self.sent[stamp] = time.monotonic()

    def read_answers(self):
        while self.x.pending_events():
            event = self.x.next_event()
            if event.type != X.ClientMessage or event.client_type != self.protocols:
                continue
            atom, stamp = event.data[1][0], event.data[1][1]
            if atom == self.ping_atom and stamp in self.sent:
                self.waits.append(time.monotonic() - self.sent.pop(stamp))

    def check_pings(self, now):
        for stamp, when in list(self.sent.items()):
            if now - when > ANSWER_WITHIN:
                self.failures.append("ping %d went unanswered for %.1f s" % (stamp, now - when))
                del self.sent[stamp]

    def cover_area(self):
        x, y, w, h = self.area
        red = self.x.screen().default_colormap.alloc_color(*(c * 257 for c in RED)).pixel
        self.cover = self.root.create_window(x, y, w, h, 0, X.CopyFromParent, background_pixel=red,
                                             override_redirect=True)
        self.cover.map()
        self.x.flush()

    def red_share(self):
        x, y, w, h = self.area
        image = self.root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF)
        pixels = image.data
        # 32 bits a pixel: blue, green, red, unused.
        red = sum(1 for i in range(0, len(pixels), 4) if (pixels[i + 2], pixels[i + 1], pixels[i]) == RED)
        return red / max(1, len(pixels) // 4)

    def step(self, began, now):
        if self.cover is None and self.uncovered is None and now - began >= COVER_AT:
            self.cover_area()
        elif self.cover is not None and now - began >= COVER_AT + COVER_FOR:
            self.cover.destroy()
            self.x.flush()
            self.cover = None
            self.uncovered = now
        elif self.uncovered is not None and self.uncovered > 0:
            if self.red_share() < 0.01:
                print("uncovered part painted again after %.2f s" % (now - self.uncovered))
                self.uncovered = 0
            elif now - self.uncovered > ANSWER_WITHIN:
                self.failures.append("the uncovered part still showed the cover's colour after %.1f s" %
                                     (now - self.uncovered))
                self.uncovered = 0


def main():
    if len(sys.argv) < 5 or sys.argv[3] != "--":
        sys.exit(__doc__)
    area = tuple(int(n) for n in sys.argv[2].split(","))
    watch = Watch(int(sys.argv[1], 0), area)
    command = subprocess.Popen(sys.argv[4:])
    began = time.monotonic()
    next_ping, stamp = began, 0
    while command.poll() is None:
        now = time.monotonic()
        if now >= next_ping:
            stamp += 1
            watch.ping(stamp)
            next_ping = now + PING_EVERY
        watch.read_answers()
        watch.check_pings(time.monotonic())
        watch.step(began, time.monotonic())
        time.sleep(0.02)
    lasted = time.monotonic() - began
    watch.read_answers()
    if watch.uncovered is None or watch.uncovered > 0:
        watch.failures.append("the command ended after %.1f s, before the covered part could be checked" % lasted)
    print("%d pings in %.1f s, each answered within %.2f s" % (len(watch.waits), lasted, max(watch.waits or [0])))
    for failure in watch.failures:
        print("FAIL: " + failure)
    sys.exit(3 if watch.failures else command.returncode)


if __name__ == "__main__":
    main()
