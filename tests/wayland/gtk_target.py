#!/usr/bin/env python3
# GTK windows that record what is typed into them (GTK 3 or 4, with GTK's default input method), for the GNOME
# scripts: their text (UTF-8) goes to FILE, atomically, every 50 ms when it changed, and once at start.
#
#   gtk_target.py 3|4 FILE TITLE [form]   # a text view; form: two entries, FILE holding "FIRST|SECOND", then
#                                         # "|activated" once Return was pressed in the second
import os
import sys

import gi

version, path, title = sys.argv[1:4]
gi.require_version("Gtk", version + ".0")
from gi.repository import GLib, Gtk  # noqa: E402

form = sys.argv[4:] == ["form"]
state = {"saved": None, "activated": ""}


def text():
    if form:
        return "|".join(entry.get_text() for entry in entries) + state["activated"]
    buffer = view.get_buffer()
    return buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)


def save():
    if text() != state["saved"]:
        state["saved"] = text()
        with open(path + ".tmp", "w", encoding="utf-8") as file:
            file.write(state["saved"])
        os.replace(path + ".tmp", path)
    return True


window = Gtk.Window(title=title)
window.set_default_size(640, 400)
if form:
    entries = [Gtk.Entry(), Gtk.Entry()]
    entries[1].connect("activate", lambda _: state.update(activated="|activated"))
    child = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
    for entry in entries:
        child.append(entry) if version == "4" else child.add(entry)
else:
    child = view = Gtk.TextView()
loop = GLib.MainLoop()
window.connect("close-request" if version == "4" else "destroy", lambda *_: loop.quit())
window.set_child(child) if version == "4" else window.add(child)
window.present() if version == "4" else window.show_all()
(entries[0] if form else view).grab_focus()
GLib.timeout_add(50, save)
loop.run()
