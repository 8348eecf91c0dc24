#!/usr/bin/env python3
# The keyboard and pointer of a headless GNOME test session: one session of mutter's own RemoteDesktop interface
# (no permission dialog), kept open for the session's life (the seat has a keyboard only while one exists, and the
# first key of a new one is lost). Reads one command a line from standard input and appends "done N" to DONE_FILE
# after the N-th:
#
#   keys CHORD...      # each chord: evdev key codes joined by "+", pressed in order and released in reverse
#   click RIGHT TOP    # a left click RIGHT pixels left of the focused window's right edge, TOP below its top
#
#   gnome_input.py DONE_FILE
import sys
import time

import dbus

bus = dbus.SessionBus()
mutter = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop"),
                        "org.gnome.Mutter.RemoteDesktop")
session = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", mutter.CreateSession()),
                         "org.gnome.Mutter.RemoteDesktop.Session")
shell = dbus.Interface(bus.get_object("org.gnome.Shell", "/org/gnome/Shell"), "org.gnome.Shell")
session.Start()
# The lost first key, and a pointer on the seat.
session.NotifyKeyboardKeycode(dbus.UInt32(42), True)
session.NotifyKeyboardKeycode(dbus.UInt32(42), False)
session.NotifyPointerMotionRelative(1.0, 1.0)

done = 0
for line in sys.stdin:
    words = line.split()
    if words and words[0] == "keys":
        for chord in words[1:]:
            codes = [dbus.UInt32(int(code)) for code in chord.split("+")]
            for code in codes:
                session.NotifyKeyboardKeycode(code, True)
            for code in reversed(codes):
                session.NotifyKeyboardKeycode(code, False)
            time.sleep(0.05)
    elif words and words[0] == "click":
        shell.Eval("let r = global.display.focus_window.get_frame_rect(); "
                   "imports.gi.Clutter.get_default_backend().get_default_seat()"
                   f".warp_pointer(r.x + r.width - {int(words[1])}, r.y + {int(words[2])});")
        # A warp tells the application nothing: a motion does.
        session.NotifyPointerMotionRelative(1.0, 0.0)
        session.NotifyPointerMotionRelative(-1.0, 0.0)
        time.sleep(0.1)
        session.NotifyPointerButton(272, True)
        session.NotifyPointerButton(272, False)
    done += 1
    with open(sys.argv[1], "a", encoding="utf-8") as log:
        log.write(f"done {done}\n")
