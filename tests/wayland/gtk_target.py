#!/usr/bin/env python3
# GTK windows that record what is typed into them (GTK 3 or 4, with GTK's default input method), for the GNOME
# scripts. They write their text (UTF-8) to FILE, atomically, every 50 ms when it changed, and once at start.
#
#   gtk_target.py 3|4 FILE TITLE          # a text view
#   gtk_target.py 3|4 FILE TITLE form     # two entries; FILE holds "FIRST|SECOND" and "|activated" once Return
#                                         # was pressed in the second
import os
import sys

import gi

version, path, title = sys.argv[1], sys.argv[2], sys.argv[3]
form = len(sys.argv) > 4 and sys.argv[4] == "form"
gi.require_version("Gtk", version + ".0")
from gi.repository import GLib, Gtk  # noqa: E402

saved = None
activated = False


def text():
    if form:
        return "|".join(entry.get_text() for entry in entries) + ("|activated" if activated else "")
    buffer = view.get_buffer()
    return buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)


def save():
    global saved
    current = text()
    if current != saved:
        with open(path + ".tmp", "w", encoding="utf-8") as file:
            file.write(current)
        os.replace(path + ".tmp", path)
        saved = current
    return True


def on_activate(_entry):
    global activated
    activated = True


window = Gtk.Window(title=title)
window.set_default_size(640, 400)
if form:
    entries = [Gtk.Entry(), Gtk.Entry()]
    entries[1].connect("activate", on_activate)
    box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
    for entry in entries:
        box.append(entry) if version == "4" else box.pack_start(entry, False, False, 0)
    child, focus = box, entries[0]
else:
    view = Gtk.TextView()
    child, focus = view, view
if version == "4":
    loop = GLib.MainLoop()
    window.set_child(child)
    window.connect("close-request", lambda *_: loop.quit())
    window.present()
else:
    window.add(child)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
focus.grab_focus()
GLib.timeout_add(50, save)
if version == "4":
    loop.run()
else:
    Gtk.main()
