#!/usr/bin/python3
"""The tray as a desktop's tray host sees it (StatusNotifierItem over D-Bus).

Usage: snihost.py [--click LABEL] [--activate]
Registers as a tray host with the desktop's watcher, prints the registered
items as JSON ([{"id", "title", "menu": [labels without mnemonics]}]) and, when asked, clicks
the menu entry LABEL of every item or activates the items (a left click)."""
import argparse
import json
import os

import dbus

WATCHER = 'org.kde.StatusNotifierWatcher'
ITEM = 'org.kde.StatusNotifierItem'
MENU = 'com.canonical.dbusmenu'

ap = argparse.ArgumentParser()
ap.add_argument('--click', default='')
ap.add_argument('--activate', action='store_true')
a = ap.parse_args()

bus = dbus.SessionBus()
watcher = bus.get_object(WATCHER, '/StatusNotifierWatcher')
host = 'org.kde.StatusNotifierHost-%d' % os.getpid()
bus.request_name(host)
try:
    watcher.RegisterStatusNotifierHost(host, dbus_interface=WATCHER)
except dbus.DBusException:
    pass  # GNOME's tray extension accepts no second host: looking is enough

found = []
for entry in watcher.Get(WATCHER, 'RegisteredStatusNotifierItems', dbus_interface=dbus.PROPERTIES_IFACE):
    # "service/path" (KDE) or "service@path" (GNOME's extension)
    service, path = entry.split('@', 1) if '@' in entry else entry.split('/', 1)
    item = bus.get_object(service, '/' + path.lstrip('/'))
    props = item.GetAll(ITEM, dbus_interface=dbus.PROPERTIES_IFACE)
    labels = []
    if 'Menu' in props:
        menu = bus.get_object(service, props['Menu'])
        # Programs may build their menu only when it is about to show.
        menu.AboutToShow(0, dbus_interface=MENU)
        _, layout = menu.GetLayout(0, -1, [], dbus_interface=MENU)
        for child in layout[2]:
            # without the mnemonic marks ("_Exit")
            label = str(child[1].get('label', '')).replace('_', '')
            labels.append(label)
            if a.click and label == a.click:
                menu.Event(child[0], 'clicked', dbus.Int32(0, variant_level=1), dbus.UInt32(0), dbus_interface=MENU)
    if a.activate:
        item.Activate(10, 10, dbus_interface=ITEM)
    found.append({'id': str(props.get('Id', '')), 'title': str(props.get('Title', '')), 'menu': labels})
print(json.dumps(found))
