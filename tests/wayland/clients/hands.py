#!/usr/bin/python3
"""The user's hands: presses a key chord or types text into whatever has the focus.

Usage: hands.py portal|mutter chord ctrl+shift+d
       hands.py portal|mutter type TEXT
portal: the RemoteDesktop portal (no prompt on KDE). mutter: GNOME's own
remote-desktop interface, which asks nobody (the portal there shows a consent
dialog per session, which belongs to the program under test, not to its user).
Text goes as keysyms, chords as evdev keycodes. Exit status 0 once sent."""
import random
import sys
import time

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

KEYCODES = {'esc': 1, 'enter': 28, 'ctrl': 29, 'shift': 42, 'alt': 56, 'super': 125}
KEYCODES.update({c: n for row, first in (('qwertyuiop', 16), ('asdfghjkl', 30), ('zxcvbnm', 44))
                 for n, c in enumerate(row, first)})
KEYCODES.update({str((n + 1) % 10): n + 2 for n in range(10)})


def keysym(ch):
    return ord(ch) if ord(ch) < 0x100 else 0x01000000 + ord(ch)


class portal:
    """A RemoteDesktop portal session with keyboard and pointer."""

    def __init__(self, bus):
        self.bus = bus
        self.loop = GLib.MainLoop()
        self.desktop = bus.get_object('org.freedesktop.portal.Desktop', '/org/freedesktop/portal/desktop')
        self.rd = dbus.Interface(self.desktop, 'org.freedesktop.portal.RemoteDesktop')
        self.sender = bus.get_unique_name()[1:].replace('.', '_')
        res = self.request('CreateSession', {'session_handle_token': 'hands%d' % random.randint(0, 1 << 30)})
        self.session = dbus.ObjectPath(res['session_handle'])
        self.request('SelectDevices', {'types': dbus.UInt32(3)}, self.session)
        self.request('Start', {}, self.session, '')

    def request(self, method, options, *args):
        token = 'hands%d' % random.randint(0, 1 << 30)
        path = '/org/freedesktop/portal/desktop/request/%s/%s' % (self.sender, token)
        got = {}

        def response(code, results):
            got['code'], got['results'] = int(code), results
            self.loop.quit()
        match = self.bus.add_signal_receiver(response, 'Response', 'org.freedesktop.portal.Request', path=path)
        getattr(self.rd, method)(*args, dbus.Dictionary(dict(options, handle_token=token), signature='sv'))
        timer = GLib.timeout_add_seconds(30, self.loop.quit)
        self.loop.run()
        GLib.source_remove(timer)
        match.remove()
        if got.get('code') != 0:
            sys.exit('%s: no success (%s)' % (method, got.get('code', 'no answer')))
        return got['results']

    def key(self, code, down):
        self.rd.NotifyKeyboardKeycode(self.session, {}, code, dbus.UInt32(down))

    def sym(self, ks, down):
        self.rd.NotifyKeyboardKeysym(self.session, {}, ks, dbus.UInt32(down))


class mutter:
    def __init__(self, bus):
        name = 'org.gnome.Mutter.RemoteDesktop'
        rd = dbus.Interface(bus.get_object(name, '/org/gnome/Mutter/RemoteDesktop'), name)
        self.session = dbus.Interface(bus.get_object(name, rd.CreateSession()), name + '.Session')
        self.session.Start()

    def key(self, code, down):
        self.session.NotifyKeyboardKeycode(code, down)

    def sym(self, ks, down):
        self.session.NotifyKeyboardKeysym(ks, down)


def main():
    way, what, arg = sys.argv[1:4]
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    hands = (portal if way == 'portal' else mutter)(dbus.SessionBus())
    # A new virtual keyboard drops its first key on GNOME: a Shift tap first.
    time.sleep(0.3)
    hands.key(KEYCODES['shift'], True)
    hands.key(KEYCODES['shift'], False)
    time.sleep(0.2)
    if what == 'chord':
        codes = [KEYCODES[k] for k in arg.lower().split('+')]
        for c in codes:
            hands.key(c, True)
            time.sleep(0.02)
        for c in reversed(codes):
            hands.key(c, False)
            time.sleep(0.02)
    else:
        for ch in arg:
            hands.sym(keysym(ch), True)
            hands.sym(keysym(ch), False)
            time.sleep(0.02)
    # Events are delivered asynchronously: the session ends once they are through.
    time.sleep(0.3)
    print('sent', what, arg, flush=True)


main()
