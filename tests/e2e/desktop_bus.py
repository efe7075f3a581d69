#!/usr/bin/env python3
"""The desktop's side of the session bus, for the end-to-end tests.

    desktop_bus.py serve [--no-host] [--no-notifications]
        Runs a status-notifier watcher with its host (the side of the protocol
        a panel's tray implements) and a notification service that records
        every notification, until killed. Prints "ready" once the names are
        owned. --no-host leaves the watcher out (a desktop without a tray),
        --no-notifications the notification service.

    desktop_bus.py items            the registered icons, one "service path" a line
    desktop_bus.py tooltip          the first icon's tooltip title
    desktop_bus.py menu             the first icon's menu: one label a line
    desktop_bus.py activate         activates the first icon, as a click on it does
    desktop_bus.py click LABEL      chooses the menu item of that label
    desktop_bus.py notifications    the notifications shown: "summary|body" a line

The client commands exit 1 with a message when the bus does not answer.
"""
import sys
import time

import dbus
import dbus.service

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
NOTIFICATIONS = "org.freedesktop.Notifications"
NOTIFICATIONS_PATH = "/org/freedesktop/Notifications"
MENU = "com.canonical.dbusmenu"
PROPERTIES = "org.freedesktop.DBus.Properties"
# Where the served notifications are listed for the client commands.
RECORDER = "org.folderly.test.Recorder"

# Qt reads the watcher's properties through its introspection data, which
# python-dbus does not generate for properties: the watcher writes its own.
WATCHER_INTROSPECTION = """<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg direction="out" type="s"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get"><arg direction="in" type="s"/><arg direction="in" type="s"/>
      <arg direction="out" type="v"/></method>
    <method name="GetAll"><arg direction="in" type="s"/><arg direction="out" type="a{sv}"/></method>
  </interface>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg direction="in" type="s"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
  </interface>
</node>
"""


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, WATCHER_PATH)
        self.bus = bus
        self.items = []  # "service/path" texts
        bus.add_signal_receiver(self.owner_changed, "NameOwnerChanged", "org.freedesktop.DBus")

    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s")
    def Introspect(self):
        return WATCHER_INTROSPECTION

    def properties(self):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
        }

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.properties()[name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.properties()

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # An item names either its bus name or its object path.
        item = sender + service if service.startswith("/") else service + "/StatusNotifierItem"
        if item not in self.items:
            self.items.append(item)

    # An icon whose program ended leaves the tray.
    def owner_changed(self, name, old, new):
        if not new:
            self.items = [i for i in self.items if i.split("/", 1)[0] != name]


# Shows nothing: keeps each notification as "summary|body".
class Notifications(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, NOTIFICATIONS_PATH)
        self.shown = []

    @dbus.service.method(NOTIFICATIONS, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        self.shown.append("%s|%s" % (summary, body))
        return len(self.shown)

    @dbus.service.method(RECORDER, out_signature="as")
    def Shown(self):
        return self.shown


def serve(args):
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    keep = []
    if "--no-host" not in args:
        keep.append(Watcher(bus))
        keep.append(dbus.service.BusName(WATCHER, bus))
    if "--no-notifications" not in args:
        keep.append(Notifications(bus))
        keep.append(dbus.service.BusName(NOTIFICATIONS, bus))
    print("ready", flush=True)
    GLib.MainLoop().run()


def first_item(bus):
    watcher = bus.get_object(WATCHER, WATCHER_PATH)
    items = watcher.Get(WATCHER, "RegisteredStatusNotifierItems", dbus_interface=PROPERTIES)
    if not items:
        sys.exit("no icon is registered")
    service, path = items[0].split("/", 1)
    return bus.get_object(service, "/" + path)


def item_property(item, name):
    return item.Get(ITEM, name, dbus_interface=PROPERTIES)


def menu_items(bus, item):
    menu = bus.get_object(item.bus_name, item_property(item, "Menu"))
    _, layout = menu.GetLayout(0, 1, dbus.Array([], signature="s"), dbus_interface=MENU)
    return menu, [(int(child[0]), str(child[1].get("label", ""))) for child in layout[2]
                  if child[1].get("visible", True) and child[1].get("type", "") != "separator"]


def client(command, args):
    bus = dbus.SessionBus()
    if command == "items":
        watcher = bus.get_object(WATCHER, WATCHER_PATH)
        for item in watcher.Get(WATCHER, "RegisteredStatusNotifierItems", dbus_interface=PROPERTIES):
            print(item.replace("/", " /", 1))
    elif command == "tooltip":
        # (icon name, icon pixmaps, title, text)
        print(item_property(first_item(bus), "ToolTip")[2])
    elif command == "menu":
        for _, label in menu_items(bus, first_item(bus))[1]:
            print(label)
    elif command == "activate":
        first_item(bus).Activate(0, 0, dbus_interface=ITEM)
    elif command == "click":
        menu, items = menu_items(bus, first_item(bus))
        ids = [i for i, label in items if label == args[0]]
        if not ids:
            sys.exit("no menu item %r" % args[0])
        menu.Event(ids[0], "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(int(time.time())),
                   dbus_interface=MENU)
    elif command == "notifications":
        recorder = bus.get_object(NOTIFICATIONS, NOTIFICATIONS_PATH)
        for shown in recorder.Shown(dbus_interface=RECORDER):
            print(shown)
    else:
        sys.exit(__doc__)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    if sys.argv[1] == "serve":
        serve(sys.argv[2:])
        return
    try:
        client(sys.argv[1], sys.argv[2:])
    except dbus.DBusException as error:
        sys.exit("%s: %s" % (sys.argv[1], error.get_dbus_message()))


if __name__ == "__main__":
    main()
