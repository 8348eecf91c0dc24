#!/usr/bin/env python3
# The keyboard and pointer of a headless GNOME test session: one session of mutter's own RemoteDesktop interface
# (no permission dialog), open for the session's life (the seat has a keyboard only while one exists, and a new
# one loses its first key). Runs one command a line from standard input, appending "done N" to DONE_FILE after the
# N-th: "keys CHORD..." (evdev key codes joined by "+", pressed in order, released in reverse), "down CODE..." and
# "up CODE..." (keys held down, let go of: a hotkey's modifier held as people hold it) or "click RIGHT TOP" (a left
# click RIGHT pixels left of the focused window's right edge and TOP below its top).
#
#   gnome_input.py DONE_FILE
import sys
import time

import dbus

bus = dbus.SessionBus()
mutter = bus.get_object("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop")
session = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop",
                                        mutter.CreateSession(dbus_interface="org.gnome.Mutter.RemoteDesktop")),
                         "org.gnome.Mutter.RemoteDesktop.Session")
shell = dbus.Interface(bus.get_object("org.gnome.Shell", "/org/gnome/Shell"), "org.gnome.Shell")
session.Start()
for pressed in (True, False):  # the key a new session loses
    session.NotifyKeyboardKeycode(dbus.UInt32(42), pressed)
for done, line in enumerate(sys.stdin, start=1):
    command, *args = line.split()
    if command == "keys":
        for chord in args:
            codes = [dbus.UInt32(int(code)) for code in chord.split("+")]
            for code, pressed in [(code, True) for code in codes] + [(code, False) for code in reversed(codes)]:
                session.NotifyKeyboardKeycode(code, pressed)
            time.sleep(0.05)
    elif command in ("down", "up"):
        for code in args:
            session.NotifyKeyboardKeycode(dbus.UInt32(int(code)), command == "down")
    elif command == "click":
        shell.Eval("let r = global.display.focus_window.get_frame_rect(); imports.gi.Clutter.get_default_backend()"
                   f".get_default_seat().warp_pointer(r.x + r.width - {int(args[0])}, r.y + {int(args[1])});")
        # A warp tells the application nothing: a motion does.
        session.NotifyPointerMotionRelative(1.0, 0.0)
        session.NotifyPointerMotionRelative(-1.0, 0.0)
        time.sleep(0.1)
        session.NotifyPointerButton(272, True)
        session.NotifyPointerButton(272, False)
    with open(sys.argv[1], "a", encoding="utf-8") as log:
        log.write(f"done {done}\n")
