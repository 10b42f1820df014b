"""Calls the Screenshot portal as an application does and waits for the
Request's Response, to prove the test desktop's portal chain by itself."""
import secrets

import dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib


def screenshot(bus_address, timeout=20):
    """(response code, results) of one non-interactive Screenshot call, or
    None if no answer came in time."""
    DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(bus_address)
    try:
        token = "wltest" + secrets.token_hex(4)
        sender = bus.get_unique_name()[1:].replace(".", "_")
        path = f"/org/freedesktop/portal/desktop/request/{sender}/{token}"
        loop = GLib.MainLoop()
        answer = []

        def on_response(code, results):
            answer.append((int(code), {str(k): v for k, v in results.items()}))
            loop.quit()
        # Subscribed before the call, so that no answer can come first.
        bus.add_signal_receiver(on_response, "Response", "org.freedesktop.portal.Request", None, path)
        portal = bus.get_object("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop")
        portal.Screenshot("", {"handle_token": token, "interactive": False},
                          dbus_interface="org.freedesktop.portal.Screenshot")
        GLib.timeout_add(int(timeout * 1000), loop.quit)
        loop.run()
        return answer[0] if answer else None
    finally:
        bus.close()
