#!/usr/bin/python3
"""Exits 0 when a menu is open on the X11 screen: a mapped window straight
under the root, as menus are, that is a menu by its type or, as Qt's menus
of an XEmbed tray icon, by being a program's window that the window manager
leaves alone (override-redirect) and tall enough for items. With --list,
prints each mapped window under the root, for a failure."""
import sys

from Xlib import X, display

x = display.Display()
root = x.screen().root
window_type = x.intern_atom("_NET_WM_WINDOW_TYPE")
menus = {x.intern_atom(name) for name in ("_NET_WM_WINDOW_TYPE_POPUP_MENU", "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU")}
for window in root.query_tree().children:
    try:
        attributes = window.get_attributes()
        if attributes.map_state != X.IsViewable:
            continue
        value = window.get_full_property(window_type, X.AnyPropertyType)
        program = window.get_wm_class()
        height = window.get_geometry().height
    except Exception:  # gone meanwhile
        continue
    types = set(value.value) if value else set()
    menu = bool(types & menus) or (attributes.override_redirect and program is not None and height >= 40)
    if "--list" in sys.argv:
        print(hex(window.id), program, height, attributes.override_redirect, [x.get_atom_name(t) for t in types])
    elif menu:
        sys.exit(0)
sys.exit(0 if "--list" in sys.argv else 1)
