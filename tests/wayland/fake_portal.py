#!/usr/bin/env python3
"""A desktop-portal backend for the tests: org.freedesktop.impl.portal.GlobalShortcuts that binds every shortcut
asked for except those named in VELMORA_FAKE_REFUSE (comma-separated ids), and none of a closed session; org.freedesktop.impl.portal.RemoteDesktop
that grants a keyboard and logs the keysyms it is sent ("key HEX STATE"); and a control interface
(org.velmora.FakePortal) through which a test fires a shortcut, or holds the answer to the next RemoteDesktop Start
or BindShortcuts as a desktop does while it asks the user, and gives it later. Every call is logged, one line each,
to the file named by VELMORA_FAKE_LOG.

With VELMORA_FAKE_FRONTEND set it plays the whole portal instead (org.freedesktop.portal.Desktop), as portals from
1.17 on offer it: RemoteDesktop with the Clipboard extension, the clipboard being the compositor's. The user's
clipboard holds "previous" (text, HTML and a PNG) at first, or what the control interface's UserClipboard set
(nothing, or a password manager's secret); a clipboard manager reads each new content ("manager TEXT"), or only its
secret mark ("manager secret"), at once or, after LateManager, at the next Control press; a Ctrl+V pastes the
owner's text ("paste TEXT") unless the control interface said IgnorePastes; each type the owner offers again after
the user's was taken is compared with the user's ("back TYPE same|differs"); and when the session that owns the
clipboard closes, the manager keeps its text ("kept TEXT").

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


FRONT = "org.freedesktop.portal."
TEXT = "text/plain;charset=utf-8"
SECRET = "x-kde-passwordManagerHint"
USER_CLIPBOARDS = {
    "previous": {TEXT: b"previous", "text/html": b"<b>previous</b>", "image/png": b"\x89PNG\r\n\x1a\n\x00\xff"},
    "empty": {},
    "secret": {TEXT: b"password", SECRET: b"secret"},
}


def unix_fd(fd):
    """fd as a D-Bus argument (which holds a copy of it), closed here."""
    given = dbus.types.UnixFd(fd)
    os.close(fd)
    return given


class Frontend(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus
        self.clipboard = False
        self.owner = None  # the owning session, or None: the user's content
        self.user = self.content = USER_CLIPBOARDS["previous"]
        self.serial, self.transfers = 0, {}  # serial -> [what, read fd, then to call]
        self.ctrl, self.deaf = False, False  # Ctrl held; whether the focused application ignores Ctrl+V
        self.late_manager, self.manager_due = False, False
        self.sessions = []

    def respond(self, sender, options, results):
        path = "%s/request/%s/%s" % (PATH, sender[1:].replace(".", "_"), options["handle_token"])
        request = Request(self.bus, path)
        GLib.idle_add(lambda: request.Response(dbus.UInt32(0), dbus.Dictionary(results, signature="sv")) and False)
        return dbus.ObjectPath(path)

    @dbus.service.method(FRONT + "RemoteDesktop", in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender):
        session = "%s/session/%s/%s" % (PATH, sender[1:].replace(".", "_"), options["session_handle_token"])
        FrontSession(self.bus, session, self)
        return self.respond(sender, options, {"session_handle": dbus.ObjectPath(session)})

    @dbus.service.method(FRONT + "RemoteDesktop", in_signature="oa{sv}", out_signature="o", sender_keyword="sender")
    def SelectDevices(self, session, options, sender):
        log("remote select types=%d" % int(options.get("types", 0)))
        return self.respond(sender, options, {})

    @dbus.service.method(FRONT + "RemoteDesktop", in_signature="osa{sv}", out_signature="o", sender_keyword="sender")
    def Start(self, session, parent_window, options, sender):
        log("remote start clipboard=%s" % self.clipboard)
        self.sessions.append(session)
        GLib.idle_add(lambda: self.SelectionOwnerChanged(session, {"mime_types": dbus.Array(
            self.content, signature="s"), "session_is_owner": False}) and False)
        return self.respond(sender, options, {"devices": dbus.UInt32(KEYBOARD), "clipboard_enabled": self.clipboard})

    @dbus.service.method(FRONT + "RemoteDesktop", in_signature="oa{sv}iu", out_signature="")
    def NotifyKeyboardKeysym(self, session, options, keysym, state):
        log("key %x %d" % (keysym, state))
        self.ctrl = bool(state) if keysym == 0xffe3 else self.ctrl
        if keysym == 0xffe3 and state and self.manager_due:
            self.manager_due = False
            self.manager_read()
        if keysym == 0x76 and state and self.ctrl and self.owner and not self.deaf:
            # An application asks for the content a moment after the key.
            GLib.timeout_add(100, lambda: self.transfer("paste") and False)

    def transfer(self, what, then=None, mime_type=TEXT):
        self.serial += 1
        self.transfers[self.serial] = [what, None, then]
        self.SelectionTransfer(self.owner, mime_type, dbus.UInt32(self.serial))

    def manager_read(self):
        """A clipboard manager reads a new content, or only the mark of a secret one."""
        self.transfer("manager", mime_type=SECRET if SECRET in self.content else TEXT)

    @dbus.service.method(FRONT + "Clipboard", in_signature="oa{sv}", out_signature="")
    def RequestClipboard(self, session, options):
        self.clipboard = True

    @dbus.service.method(FRONT + "Clipboard", in_signature="oa{sv}", out_signature="")
    def SetSelection(self, session, options):
        for transfer in self.transfers.values():  # a new owner cancels the reads of the old one, as mutter does
            transfer[0] = "cancelled" if transfer[0].startswith("back ") else transfer[0]
        if "mime_types" not in options:
            log("selection (none)")
            self.owner, self.content = None, {}
            self.SelectionOwnerChanged(session, {"mime_types": dbus.Array([], signature="s"),
                                                 "session_is_owner": False})
            return
        types = [str(t) for t in options["mime_types"]]
        log("selection " + " ".join(sorted(types)))
        self.owner, self.content = session, dict.fromkeys(types)
        self.SelectionOwnerChanged(session, {"mime_types": dbus.Array(types, signature="s"), "session_is_owner": True})
        if types and sorted(types) == sorted(self.user):
            for mime_type in types:  # the user's content offered again: is it the same?
                self.transfer("back " + mime_type, mime_type=mime_type)
        elif self.late_manager:
            self.manager_due = True
        else:
            self.manager_read()

    @dbus.service.method(FRONT + "Clipboard", in_signature="os", out_signature="h")
    def SelectionRead(self, session, mime_type):
        if self.owner or mime_type not in self.content:
            raise dbus.DBusException("not the user's", name="org.freedesktop.portal.Error.Failed")
        read, write = os.pipe()
        os.write(write, self.content[mime_type])
        os.close(write)
        return unix_fd(read)

    @dbus.service.method(FRONT + "Clipboard", in_signature="ou", out_signature="h")
    def SelectionWrite(self, session, serial):
        self.transfers[serial][1], write = os.pipe()
        return unix_fd(write)

    @dbus.service.method(FRONT + "Clipboard", in_signature="oub", out_signature="")
    def SelectionWriteDone(self, session, serial, success):
        what, read, then = self.transfers.pop(serial)
        data = os.read(read, 65536) if success else b"(failed)"
        os.close(read)
        if what == "cancelled":
            return
        if what.startswith("back "):
            log("%s %s" % (what, "same" if self.user.get(what[5:]) == data else "differs"))
            return
        log("%s %s" % (what, "secret" if data == b"secret" else data.decode()))
        if then:  # the owner closed: the clipboard keeps its text
            self.content = {TEXT: data}
            then()

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def IgnorePastes(self):
        self.deaf = True

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def LateManager(self):
        self.late_manager = True

    @dbus.service.method(CONTROL, in_signature="s", out_signature="")
    def UserClipboard(self, name):
        """The user copies one of USER_CLIPBOARDS."""
        self.owner, self.user = None, USER_CLIPBOARDS[name]
        self.content = self.user
        for session in self.sessions:
            self.SelectionOwnerChanged(session, {"mime_types": dbus.Array(self.content, signature="s"),
                                                 "session_is_owner": False})

    @dbus.service.signal(FRONT + "Clipboard", signature="oa{sv}")
    def SelectionOwnerChanged(self, session, options):
        pass

    @dbus.service.signal(FRONT + "Clipboard", signature="osu")
    def SelectionTransfer(self, session, mime_type, serial):
        pass

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        version = 2 if interface.endswith("RemoteDesktop") else 1
        return {"AvailableDeviceTypes": dbus.UInt32(KEYBOARD), "version": dbus.UInt32(version)}[name]


class Request(dbus.service.Object):
    @dbus.service.signal(FRONT + "Request", signature="ua{sv}")
    def Response(self, code, results):
        pass


class FrontSession(dbus.service.Object):
    def __init__(self, bus, path, portal):
        super().__init__(bus, path)
        self.portal = portal

    @dbus.service.method(FRONT + "Session", in_signature="", out_signature="", async_callbacks=("reply", "error"))
    def Close(self, reply, error):
        log("close")
        self.remove_from_connection()
        if self.portal.owner is None:
            return reply()
        self.portal.transfer("kept", reply)
        self.portal.owner = None


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    frontend = os.environ.get("VELMORA_FAKE_FRONTEND")
    portal = Frontend(bus) if frontend else Portal(bus)
    name = dbus.service.BusName("org.freedesktop.portal.Desktop" if frontend else BUS_NAME, bus)
    log("ready")
    GLib.MainLoop().run()
    del name, portal


if __name__ == "__main__":
    sys.exit(main())
