#!/usr/bin/python3
"""A stand-in GlobalShortcuts portal back end for the tests, for desktops
such as sway that have none: the real xdg-desktop-portal front end finds it
through a .portal file and forwards the application's CreateSession and
BindShortcuts to it, and its Activated signal to the application. It follows
the back-end interface description org.freedesktop.impl.portal.GlobalShortcuts.
Where its .portal file lists org.freedesktop.impl.portal.Screenshot too, it
also stands for a desktop whose user refuses every screenshot (response 1).

The test steers it over the same bus (org.kwpshot.test.Shortcuts on the
same object):
    SetAnswer(s)   "grant" (response 0), "refuse" (1), "fail" (2), or
                   "silent" (never answers BindShortcuts)
    Activate(s) b  emits Activated (then Deactivated) for that shortcut, or
                   for every shortcut if "", in every session that bound it;
                   false when none has
    Calls() s      the calls so far, as JSON lines
Prints "ready" once its names are on the bus.

    shortcuts_standin.py BUS_NAME
"""
import json
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

IMPL = "org.freedesktop.impl.portal.GlobalShortcuts"
SESSION = "org.freedesktop.impl.portal.Session"
REQUEST = "org.freedesktop.impl.portal.Request"
SCREENSHOT = "org.freedesktop.impl.portal.Screenshot"
CONTROL = "org.kwpshot.test.Shortcuts"
PORTAL_PATH = "/org/freedesktop/portal/desktop"
ANSWERS = {"grant": 0, "refuse": 1, "fail": 2}


def plain(value):
    """D-Bus values as JSON-ready Python values."""
    if isinstance(value, (dbus.Dictionary, dict)):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (dbus.Array, dbus.Struct, list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, (dbus.Boolean,)):
        return bool(value)
    if isinstance(value, (int, dbus.UInt32, dbus.Int32, dbus.UInt64, dbus.Int64)):
        return int(value)
    return str(value)


class Session(dbus.service.Object):
    def __init__(self, bus, path, owner):
        super().__init__(bus, path)
        self.path = path
        self.owner = owner
        self.bound = {}

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        self.owner.log("Close", session=self.path)
        self.owner.sessions.pop(self.path, None)
        self.remove_from_connection()

    @dbus.service.signal(SESSION, signature="")
    def Closed(self):
        pass


class Request(dbus.service.Object):
    """A request left unanswered; the front end may close it."""

    def __init__(self, bus, path, owner):
        super().__init__(bus, path)
        self.owner = owner
        self.path = path

    @dbus.service.method(REQUEST, in_signature="", out_signature="")
    def Close(self):
        self.owner.log("RequestClose", handle=self.path)
        self.remove_from_connection()


class Shortcuts(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PORTAL_PATH)
        self.bus = bus
        self.sessions = {}
        self.pending = []
        self.answer = "grant"
        self.calls = []

    def log(self, call, **details):
        self.calls.append(json.dumps({"call": call, **plain(details)}))

    @dbus.service.method(IMPL, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session_handle, app_id, options):
        self.log("CreateSession", handle=handle, session=session_handle, app_id=app_id, options=options)
        self.sessions[str(session_handle)] = Session(self.bus, str(session_handle), self)
        return dbus.UInt32(0), dbus.Dictionary({"session_handle": session_handle}, signature="sv")

    @dbus.service.method(IMPL, in_signature="ooa(sa{sv})sa{sv}", out_signature="ua{sv}",
                         async_callbacks=("reply", "error"))
    def BindShortcuts(self, handle, session_handle, shortcuts, parent_window, options, reply, error):
        self.log("BindShortcuts", handle=handle, session=session_handle, shortcuts=shortcuts,
                 parent_window=parent_window, options=options, answer=self.answer)
        if self.answer == "silent":
            self.pending.append((Request(self.bus, str(handle), self), reply))
            return
        code = ANSWERS[self.answer]
        session = self.sessions.get(str(session_handle))
        bound = dbus.Array(signature="(sa{sv})")
        if code == 0 and session:
            for shortcut_id, props in shortcuts:
                trigger = str(props.get("preferred_trigger", ""))
                session.bound[str(shortcut_id)] = trigger
                bound.append(dbus.Struct((shortcut_id, dbus.Dictionary(
                    {"description": props.get("description", ""), "trigger_description": trigger},
                    signature="sv"))))
        reply(dbus.UInt32(code), dbus.Dictionary({"shortcuts": bound} if code == 0 else {}, signature="sv"))

    @dbus.service.method(IMPL, in_signature="oo", out_signature="ua{sv}")
    def ListShortcuts(self, handle, session_handle):
        self.log("ListShortcuts", handle=handle, session=session_handle)
        session = self.sessions.get(str(session_handle))
        listed = dbus.Array([dbus.Struct((k, dbus.Dictionary({"trigger_description": v}, signature="sv")))
                             for k, v in (session.bound.items() if session else [])], signature="(sa{sv})")
        return dbus.UInt32(0), dbus.Dictionary({"shortcuts": listed}, signature="sv")

    @dbus.service.signal(IMPL, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(IMPL, signature="osta{sv}")
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == IMPL and name == "version":
            return dbus.UInt32(1)
        raise dbus.exceptions.DBusException("no such property", name="org.freedesktop.DBus.Error.InvalidArgs")

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return dbus.Dictionary({"version": dbus.UInt32(1)} if interface == IMPL else {}, signature="sv")

    @dbus.service.method(SCREENSHOT, in_signature="ossa{sv}", out_signature="ua{sv}")
    def Screenshot(self, handle, app_id, parent_window, options):
        self.log("Screenshot", handle=handle, app_id=app_id, options=options)
        return dbus.UInt32(1), dbus.Dictionary({}, signature="sv")

    # ------------------------------------------------------------ the test's side
    @dbus.service.method(CONTROL, in_signature="s", out_signature="")
    def SetAnswer(self, answer):
        if answer not in ANSWERS and answer != "silent":
            raise dbus.exceptions.DBusException("unknown answer " + answer)
        self.answer = str(answer)

    @dbus.service.method(CONTROL, in_signature="s", out_signature="b")
    def Activate(self, shortcut_id):
        hit = False
        stamp = dbus.UInt64(int(time.time() * 1000))
        for path, session in self.sessions.items():
            for bound in session.bound:
                if shortcut_id in ("", bound):
                    hit = True
                    none = dbus.Dictionary({}, signature="sv")
                    self.Activated(dbus.ObjectPath(path), bound, stamp, none)
                    self.Deactivated(dbus.ObjectPath(path), bound, stamp, none)
        self.log("Activate", shortcut=shortcut_id, delivered=hit)
        return hit

    @dbus.service.method(CONTROL, in_signature="", out_signature="s")
    def Calls(self):
        return "\n".join(self.calls)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(sys.argv[1], bus, do_not_queue=True)
    Shortcuts(bus)
    print("ready", flush=True)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, loop.quit)
    loop.run()
    del name


if __name__ == "__main__":
    main()
