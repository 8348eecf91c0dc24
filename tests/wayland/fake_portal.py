#!/usr/bin/env python3
"""A desktop-portal backend for the tests: org.freedesktop.impl.portal.GlobalShortcuts that binds every shortcut
asked for except those named in VELMORA_FAKE_REFUSE (comma-separated ids), and none of a closed session; org.freedesktop.impl.portal.RemoteDesktop
that grants a keyboard and logs the keysyms it is sent ("key HEX STATE"); and a control interface
(org.velmora.FakePortal) through which a test fires a shortcut, or holds the answer to the next RemoteDesktop Start
or BindShortcuts as a desktop does while it asks the user, and gives it later. Every call is logged, one line each,
to the file named by VELMORA_FAKE_LOG.

    fake_portal.py      # then the portal frontend is started with a .portal file naming this service
"""
import os
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

BUS_NAME = "org.freedesktop.impl.portal.desktop.velmoratest"
PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.impl.portal.GlobalShortcuts"
REMOTE = "org.freedesktop.impl.portal.RemoteDesktop"
KEYBOARD = 1
SESSION = "org.freedesktop.impl.portal.Session"
CONTROL = "org.velmora.FakePortal"

REFUSED = {name for name in os.environ.get("VELMORA_FAKE_REFUSE", "").split(",") if name}
LOG = os.environ["VELMORA_FAKE_LOG"]


def log(line):
    with open(LOG, "a", encoding="utf-8") as out:
        out.write(line + "\n")


class Session(dbus.service.Object):
    def __init__(self, bus, path, portal):
        super().__init__(bus, path)
        self.path = path
        self.portal = portal

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        log("close " + self.path)
        self.portal.sessions.pop(self.path, None)
        self.remove_from_connection()

    @dbus.service.signal(SESSION, signature="a{sv}")
    def Closed(self, details):
        pass


class RemoteDesktop(dbus.service.Object):
    """The RemoteDesktop part. A class of its own: its CreateSession has the name of GlobalShortcuts' one, and
    dbus-python finds a method of the asked interface along the class hierarchy."""

    @dbus.service.method(REMOTE, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session_handle, app_id, options):
        log("remote create %s" % session_handle)
        self.remote_sessions[str(session_handle)] = Session(self.bus, session_handle, self)
        return dbus.UInt32(0), dbus.Dictionary({"session_handle": session_handle}, signature="sv")

    @dbus.service.method(REMOTE, in_signature="oosa{sv}", out_signature="ua{sv}")
    def SelectDevices(self, handle, session_handle, app_id, options):
        log("remote select types=%d" % int(options.get("types", 0)))
        return dbus.UInt32(0), dbus.Dictionary({}, signature="sv")

    @dbus.service.method(REMOTE, in_signature="oossa{sv}", out_signature="ua{sv}", async_callbacks=("reply", "error"))
    def Start(self, handle, session_handle, app_id, parent_window, options, reply, error):
        log("remote start")
        answer = lambda: reply(dbus.UInt32(0), dbus.Dictionary({"devices": dbus.UInt32(KEYBOARD)}, signature="sv"))
        if self.hold_start:
            self.hold_start = False
            self.held_start = answer
        else:
            answer()

    @dbus.service.method(REMOTE, in_signature="oa{sv}iu", out_signature="")
    def NotifyKeyboardKeysym(self, session_handle, options, keysym, state):
        log("key %x %d" % (keysym, state))

    @dbus.service.method(REMOTE, in_signature="oa{sv}iu", out_signature="")
    def NotifyKeyboardKeycode(self, session_handle, options, keycode, state):
        log("keycode %d %d" % (keycode, state))


class Portal(RemoteDesktop):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus
        self.sessions = {}  # GlobalShortcuts sessions, path -> Session
        self.remote_sessions = {}
        self.bound = {}  # session path -> ids
        self.hold_start = False
        self.held_start = None
        self.hold_bind = False
        self.held_binds = []  # answers to BindShortcuts, oldest first

    @dbus.service.method(SHORTCUTS, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session_handle, app_id, options):
        log("create %s app_id=%s" % (session_handle, app_id))
        self.sessions[str(session_handle)] = Session(self.bus, session_handle, self)
        return dbus.UInt32(0), dbus.Dictionary({"session_handle": session_handle}, signature="sv")

    @dbus.service.method(SHORTCUTS, in_signature="ooa(sa{sv})sa{sv}", out_signature="ua{sv}",
                         async_callbacks=("reply", "error"))
    def BindShortcuts(self, handle, session_handle, shortcuts, parent_window, options, reply, error):
        answer = lambda: reply(*self.bind(session_handle, shortcuts))
        if self.hold_bind:
            log("bind held")
            self.hold_bind = False
            self.held_binds.append(answer)
        else:
            answer()

    def bind(self, session_handle, shortcuts):
        given = []
        for shortcut_id, props in shortcuts:
            trigger = str(props.get("preferred_trigger", ""))
            log("ask %s %s %s" % (shortcut_id, trigger, props.get("description", "")))
            if str(shortcut_id) in REFUSED or str(session_handle) not in self.sessions:
                continue
            given.append(dbus.Struct((shortcut_id, dbus.Dictionary({
                "description": props.get("description", ""),
                "trigger_description": dbus.String(trigger),
            }, signature="sv")), signature=None))
        self.bound[str(session_handle)] = [str(s[0]) for s in given]
        log("bound " + " ".join(self.bound[str(session_handle)]))
        return dbus.UInt32(0), dbus.Dictionary(
            {"shortcuts": dbus.Array(given, signature="(sa{sv})")}, signature="sv")

    @dbus.service.method(SHORTCUTS, in_signature="oo", out_signature="ua{sv}")
    def ListShortcuts(self, handle, session_handle):
        return dbus.UInt32(0), dbus.Dictionary({"shortcuts": dbus.Array([], signature="(sa{sv})")}, signature="sv")

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature="oa(sa{sv})")
    def ShortcutsChanged(self, session_handle, shortcuts):
        pass

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        if interface == REMOTE:
            return dbus.Dictionary({"AvailableDeviceTypes": dbus.UInt32(KEYBOARD), "version": dbus.UInt32(1)},
                                   signature="sv")
        return dbus.Dictionary({"version": dbus.UInt32(1)}, signature="sv")

    @dbus.service.method(CONTROL, in_signature="s", out_signature="b")
    def Activate(self, shortcut_id):
        """Fires the shortcut in the newest open session as a press would (Activated, then Deactivated)."""
        if not self.sessions:
            log("activate %s: no session" % shortcut_id)
            return False
        session = list(self.sessions)[-1]
        log("activate %s in %s" % (shortcut_id, session))
        stamp = dbus.UInt64(int(time.monotonic() * 1000))
        options = dbus.Dictionary({}, signature="sv")
        self.Activated(dbus.ObjectPath(session), shortcut_id, stamp, options)
        self.Deactivated(dbus.ObjectPath(session), shortcut_id, stamp, options)
        return True

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def HoldNextStart(self):
        self.hold_start = True

    @dbus.service.method(CONTROL, in_signature="", out_signature="b")
    def GiveHeldStart(self):
        if self.held_start is None:
            return False
        log("remote start given")
        self.held_start()
        self.held_start = None
        return True

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def HoldNextBind(self):
        self.hold_bind = True

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def GiveHeldBind(self):
        self.held_binds.pop(0)()


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = Portal(bus)
    name = dbus.service.BusName(BUS_NAME, bus)
    log("ready")
    GLib.MainLoop().run()
    del name, portal


if __name__ == "__main__":
    sys.exit(main())
