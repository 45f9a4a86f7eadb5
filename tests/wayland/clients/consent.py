#!/usr/bin/python3
"""Answers GNOME's "Remote desktop" consent dialog as the user would, over
AT-SPI: turns on "Allow remote interaction", then presses "Share" (or, with
"cancel", refuses with "Cancel").

Usage: consent.py [TIMEOUT_SECONDS [cancel]]   exit status 0 once answered."""
import sys
import time

import gi

gi.require_version('Atspi', '2.0')
from gi.repository import Atspi  # noqa: E402


def walk(o):
    yield o
    for i in range(min(o.get_child_count(), 100)):
        try:
            yield from walk(o.get_child_at_index(i))
        except Exception:
            pass


def find(root, role, prefix):
    for o in walk(root):
        try:
            if o.get_role_name() == role and (o.get_name() or '').startswith(prefix):
                return o
        except Exception:
            pass
    return None


def act(o, name):
    for i in range(Atspi.Action.get_n_actions(o)):
        if Atspi.Action.get_action_name(o, i) == name:
            return Atspi.Action.do_action(o, i)
    raise RuntimeError('no action ' + name)


def answer():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_name() != 'xdg-desktop-portal-gnome':
            continue
        frame = find(app, 'frame', 'Remote desktop')
        if not frame:
            continue
        if refuse:
            act(find(frame, 'push button', '_Cancel'), 'click')
            return True
        switch = find(frame, 'check box', 'Allow remote interaction')
        if switch and not switch.get_state_set().contains(Atspi.StateType.CHECKED):
            act(switch, 'toggle')
            time.sleep(0.3)
        share = find(frame, 'push button', '_Share')
        if share and share.get_state_set().contains(Atspi.StateType.SENSITIVE):
            act(share, 'click')
            return True
    return False


end = time.time() + float(sys.argv[1] if len(sys.argv) > 1 else 30)
refuse = sys.argv[2:3] == ['cancel']
while time.time() < end:
    if answer():
        print('answered', flush=True)
        sys.exit(0)
    time.sleep(0.3)
sys.exit('no consent dialog')
