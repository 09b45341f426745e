"""Input, screenshots and windows of a GNOME Shell Wayland session, for host_gnome.py.

Run as its own process (with a python3 that has gi): it owns the portal's bus name, since the
shell answers screenshots and window lists only to that name's owner, and holds one remote
desktop session, which mutter ends with the connection that made it. One JSON request a line
on standard input, one JSON answer a line on standard output.
"""
import json
import sys
import time

from gi.repository import Gio, GLib

PORTAL = "org.freedesktop.impl.portal.desktop.gnome"
MUTTER = "org.gnome.Mutter.RemoteDesktop"


def call(bus, dest, path, iface, method, args=None, reply=None):
    return bus.call_sync(dest, path, iface, method, args, GLib.VariantType(reply) if reply else None,
                         Gio.DBusCallFlags.NONE, 30000, None).unpack()


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    owned, = call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                  GLib.Variant("(su)", (PORTAL, 4)), "(u)")  # 4: do not queue
    if owned != 1:
        raise SystemExit("could not own " + PORTAL)
    session, = call(bus, MUTTER, "/org/gnome/Mutter/RemoteDesktop", MUTTER, "CreateSession", None, "(o)")
    iface = MUTTER + ".Session"
    call(bus, MUTTER, session, iface, "Start")

    def remote(method, signature, *args):
        call(bus, MUTTER, session, iface, method, GLib.Variant(signature, args))

    def shot(path):
        ok, _ = call(bus, "org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot", "org.gnome.Shell.Screenshot",
                     "Screenshot", GLib.Variant("(bbs)", (False, False, path)), "(bs)")
        return ok

    def windows():
        found, = call(bus, "org.gnome.Shell", "/org/gnome/Shell/Introspect", "org.gnome.Shell.Introspect",
                      "GetWindows", None, "(a{ta{sv}})")
        return [dict(props, id=wid) for wid, props in found.items()]

    actions = {
        "motion": lambda dx, dy: remote("NotifyPointerMotionRelative", "(dd)", dx, dy),
        "button": lambda code, pressed: remote("NotifyPointerButton", "(ib)", code, pressed),
        "keysym": lambda keysym, pressed: remote("NotifyKeyboardKeysym", "(ub)", keysym, pressed),
        "shot": shot,
        "windows": windows,
    }
    # The shell learns of the name's new owner on its own time: until then it refuses us.
    deadline = time.monotonic() + 30
    while True:
        try:
            windows()
            break
        except GLib.Error:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)
    print(json.dumps("ready"), flush=True)
    for line in sys.stdin:
        name, *args = json.loads(line)
        try:
            answer = {"ok": actions[name](*args)}
        except GLib.Error as e:
            answer = {"error": e.message}
        print(json.dumps(answer), flush=True)


if __name__ == "__main__":
    main()
