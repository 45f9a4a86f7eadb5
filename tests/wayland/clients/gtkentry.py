#!/usr/bin/python3
"""A native Wayland GTK 3 window with one text field, the target of the tests.

Usage: gtkentry.py TITLE [TEXT [START END]]
Puts TEXT in the field and selects characters START..END once the window is
active. Lines on standard input "select TEXT START END" do the same later.
Prints "active" whenever the window gains the focus and "text: <json>" on
every change of the field's text."""
import json
import sys

import gi

gi.require_version('Gtk', '3.0')
from gi.repository import GLib, Gtk  # noqa: E402

title = sys.argv[1] if len(sys.argv) > 1 else 'gtk entry'
wanted = [sys.argv[2] if len(sys.argv) > 2 else '', int(sys.argv[3]) if len(sys.argv) > 4 else -1,
          int(sys.argv[4]) if len(sys.argv) > 4 else -1]

window = Gtk.Window(title=title)
window.set_default_size(400, 80)
entry = Gtk.Entry()
window.add(entry)


def say(*words):
    print(*words, flush=True)


def apply():
    text, start, end = wanted
    entry.grab_focus()
    if entry.get_text() != text:
        entry.set_text(text)
    if start >= 0:
        entry.select_region(start, end)
    else:
        entry.set_position(-1)


def onactive(w, _):
    if w.is_active():
        # Focusing the field selects all of it: the selection is set after.
        apply()
        say('active')


def oninput(source, _):
    line = source.readline()
    if not line:
        return False
    words = line.rstrip('\n').split(' ')
    if words[0] == 'select' and len(words) >= 4:
        wanted[:] = [' '.join(words[1:-2]), int(words[-2]), int(words[-1])]
        apply()
        say('selected')
    return True


entry.connect('changed', lambda e: say('text:', json.dumps(e.get_text())))
window.connect('notify::is-active', onactive)
window.connect('destroy', Gtk.main_quit)
GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, oninput)
window.show_all()
Gtk.main()
