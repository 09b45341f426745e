#!/usr/bin/python3
"""Veska's resident memory under a chatty tray host.

Starts the built program on a private session bus, beside a stand-in StatusNotifierWatcher, on
Xvfb (or Qt's offscreen platform), then sends it random calls as a host would, valid and
ill-typed, to its item and its menu, from a connection of its own, and prints VmRSS (and RssAnon)
from /proc before, every so often, and at the end once its pop-ups are closed. Every call must
be answered (a reply or an error), and the program must live to the end, or the run fails.

    bench/host_calls.py [--calls 20000] [--seed 1] [--every 2000] [--warmup 1000]
    bench/host_calls.py --wrap 'heaptrack -o /tmp/veska' --calls 2000

The pop-ups that ContextMenu and Activate open are closed with Escape through xdotool, so those
two calls are sent on Xvfb only. Clicks go only to entries that open no window and start no
program: submenus, lines, disabled entries, launch entries of missing programs, the clearing of
recent documents and the automatic wallpaper change's switch; --windows adds the entries that
open a window, each closed again at once. The launch menu has 20 entries and a wallpaper
submenu of 10; XDG_CURRENT_DESKTOP is GNOME, so the host's menu holds both buttons' menus
(--desktop '' gives the right button's only). --pipeline N keeps N calls on their way at once.
At the end Veska is ended through its exit entry, so that a --wrap tool sees a normal exit.
"""
import argparse
import os
import random
import shutil
import shlex
import signal
import subprocess
import sys
import tempfile
import time

try:
    from gi.repository import Gio, GLib
except ImportError:
    # A python of its own (pyenv, a venv) may lack Debian's python3-gi.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import harness  # noqa: E402  (the stores' writers and wait_for)

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"
PROPS = "org.freedesktop.DBus.Properties"
TIMEOUT_MS = 20000

WATCHER_XML = """<node><interface name="org.kde.StatusNotifierWatcher">
<method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
<method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
<property name="RegisteredStatusNotifierItems" type="as" access="read"/>
<property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
<property name="ProtocolVersion" type="i" access="read"/>
</interface></node>"""


def run_watcher():
    """The watcher, as a process of its own: it lists the items that register and says that a
    host is there."""
    items = []
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    info = Gio.DBusNodeInfo.new_for_xml(WATCHER_XML).interfaces[0]

    def call(conn, sender, path, iface, method, params, invocation):
        if method == "RegisterStatusNotifierItem":
            name = params.unpack()[0]
            if name not in items:
                items.append(name)
            conn.emit_signal(None, "/StatusNotifierWatcher", WATCHER, "StatusNotifierItemRegistered",
                             GLib.Variant("(s)", (name,)))
        invocation.return_value(None)

    def get(conn, sender, path, iface, prop):
        return {"RegisteredStatusNotifierItems": GLib.Variant("as", items),
                "IsStatusNotifierHostRegistered": GLib.Variant("b", True),
                "ProtocolVersion": GLib.Variant("i", 0)}[prop]

    bus.register_object("/StatusNotifierWatcher", info, call, get, None)
    Gio.bus_own_name_on_connection(bus, WATCHER, Gio.BusNameOwnerFlags.NONE, None, None)
    GLib.MainLoop().run()


def rss(pid):
    """(VmRSS, RssAnon) in kB."""
    out = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "RssAnon"):
                out[key] = int(value.split()[0])
    return out.get("VmRSS", 0), out.get("RssAnon", 0)


def descendant_running(pid, program):
    """The process that runs the program: pid itself, or, under a wrapper that starts it as a
    child (heaptrack), its descendant whose command line names the program."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(ppid, []).append(int(entry))
            except (OSError, IndexError, ValueError):
                pass
    queue, found = [pid], pid
    while queue:
        p = queue.pop(0)
        try:
            with open("/proc/%d/cmdline" % p, "rb") as f:
                if f.read().split(b"\0")[0].endswith(os.path.basename(program).encode()):
                    found = p
        except OSError:
            pass
        queue += children.get(p, [])
    return found


def launch_config(walls_dir, temp_dir):
    """20 launch entries, the wallpaper submenu among them (10 wallpapers), and the tools."""
    entries = [("エディタ %d" % i, "/nonexistent/tool%d" % i, "Null") for i in range(16)]
    entries[3] = ("壁紙の変更", "PersonalApplication", "P1")
    entries[5] = ("-", "", "Null")
    entries[9] = ("「最近使ったファイル」の削除", "PersonalApplication", "P2")
    entries[12] = ("テンポラリファイルの削除", "PersonalApplication", "P4")
    entries += [("システム情報...", "PersonalApplication", "P3"), ("-", "", "Null"),
                ("メモ帳", "/usr/bin/true", "Null"), ("電卓", "/usr/bin/true", "Null")]
    keys = {"MenuCaption": [c for c, _, _ in entries], "MenuName": [n for _, _, n in entries],
            "MenuPath": [p for _, p, _ in entries], "MenuSound": ["(なし)"] * len(entries)}
    walls = [os.path.join(walls_dir, "wall%d.bmp" % i) for i in range(10)]
    text = "[ItemCount]\nItemNumber=%d\nWallNumber=%d\nTempNumber=1\n" % (len(entries), len(walls))
    text += "".join("[%s]\n" % k + "".join("Item%d=%s\n" % (n, v) for n, v in enumerate(vs)) for k, vs in keys.items())
    text += "[WallCaption]\n" + "".join("Item%d=壁紙 %d\n" % (i, i) for i in range(len(walls)))
    text += "[WallPath]\n" + "".join("Item%d=%s\n" % (i, w) for i, w in enumerate(walls))
    text += "[WallStyle]\n" + "".join("Item%d=%d\n" % (i, i % 2) for i in range(len(walls)))
    text += "[TempFolder]\nPathItem0=%s\n" % temp_dir
    return text


class Run:
    def __init__(self, args):
        self.args = args
        self.procs = []
        self.root = tempfile.mkdtemp(prefix="veska-host-calls-")

    def spawn(self, cmd, **kw):
        p = subprocess.Popen(cmd, **kw)
        self.procs.append(p)
        return p

    def start(self):
        a = self.args
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE)
        self.address = bus.stdout.readline().decode().strip()
        if not self.address:
            raise SystemExit("dbus-daemon did not start")
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address)
        self.spawn([sys.executable, os.path.abspath(__file__), "--watcher"], env=env)
        self.bus = Gio.DBusConnection.new_for_address_sync(
            self.address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
            None, None)
        harness.wait_for(lambda: self.owner(WATCHER), "the watcher")

        if a.display == "xvfb":
            self.display = harness.Display()
            self.display.start_xvfb()
            self.procs += self.display.procs
            env.update(self.display.env)
        else:
            env["QT_QPA_PLATFORM"] = "offscreen"
            env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        os.makedirs(os.path.join(self.root, "veska", "bin"))
        shutil.copy2(a.program, os.path.join(self.root, "veska", "bin", "veska"))
        veska = harness.Veska(type("D", (), {"env": env})(), os.path.join(self.root, "veska"))
        walls, temps = os.path.join(self.root, "walls"), os.path.join(self.root, "temps")
        os.makedirs(walls)
        os.makedirs(temps)
        open(os.path.join(temps, "keep.tmp"), "w").close()  # so that the deletion's entry is enabled
        veska.write_settings({"": {"Version": "0.27"}, "Check": {"TempDlg": "1"}})
        veska.write_config(launch_config(walls, temps))
        veska.env["XDG_CURRENT_DESKTOP"] = a.desktop
        self.env = veska.env
        cmd = shlex.split(a.wrap) + [veska.program] if a.wrap else [veska.program]
        self.log = open(os.path.join(self.root, "veska-stderr.log"), "wb")
        self.veska = self.spawn(cmd, env=veska.env, cwd=veska.root, stdout=subprocess.DEVNULL, stderr=self.log)
        self.program = veska.program
        # The item, once registered, and its menu, once it holds both menus.
        self.service = harness.wait_for(self.registered, "the item to register", timeout=a.timeout)
        self.pid = descendant_running(self.veska.pid, veska.program)
        harness.wait_for(lambda: len(self.layout()[2]) >= 2, "the item's menu", timeout=a.timeout)

    def owner(self, name):
        try:
            return self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                      "GetNameOwner", GLib.Variant("(s)", (name,)), None, 0, 2000, None).unpack()[0]
        except GLib.Error:
            return None

    def registered(self):
        if self.veska.poll() is not None:
            raise SystemExit("veska ended at start with %s; see %s" % (self.veska.returncode, self.log.name))
        try:
            items = self.bus.call_sync(WATCHER, "/StatusNotifierWatcher", PROPS, "Get",
                                       GLib.Variant("(ss)", (WATCHER, "RegisteredStatusNotifierItems")),
                                       None, 0, 2000, None).unpack()[0]
        except GLib.Error:
            return None
        return items[0].split("/")[0] if items else None

    def call(self, path, iface, method, params, reply_type=None):
        return self.bus.call_sync(self.service, path, iface, method, params, reply_type, 0, TIMEOUT_MS, None)

    def layout(self):
        return self.call("/MenuBar", MENU, "GetLayout", GLib.Variant("(iias)", (0, -1, []))).unpack()[1]

    def quit(self):
        """Chooses the exit entry, as a user would; true when the program ended."""
        if not hasattr(self, "service"):
            return False
        try:
            exit_id = [i for i, p, _, _ in nodes(self.layout()) if str(p.get("label", "")).startswith("Veska の終了")][0]
            self.call("/MenuBar", MENU, "Event", GLib.Variant("(isvu)", (exit_id, "clicked", GLib.Variant("s", ""), 0)))
            self.veska.wait(120 if self.args.wrap else 10)
            return True
        except (GLib.Error, IndexError, subprocess.TimeoutExpired):
            return False

    def stop(self):
        if hasattr(self, "veska") and self.veska.poll() is None and not self.quit():
            self.veska.send_signal(signal.SIGTERM)
            try:
                self.veska.wait(30 if self.args.wrap else 5)
            except subprocess.TimeoutExpired:
                self.veska.kill()
                self.veska.wait()
        for p in reversed(self.procs):
            if p.poll() is None:
                p.kill()
                p.wait()
        if not self.args.keep:
            shutil.rmtree(self.root, ignore_errors=True)


def nodes(layout, parent=None, out=None):
    """Every node of a GetLayout answer, as (id, properties, child count, parent id)."""
    out = [] if out is None else out
    node_id, props, children = layout
    out.append((node_id, props, len(children), parent))
    for child in children:
        nodes(child, node_id, out)
    return out


class Calls:
    """The random calls of one seed. Each returns (path, interface, method, GLib.Variant)."""

    def __init__(self, rnd, layout, popups, windows=False, only=()):
        self.rnd = rnd
        all_nodes = nodes(layout)
        self.ids = [n[0] for n in all_nodes]
        # Entries whose click opens no window and starts no program: besides submenus, lines and
        # disabled entries, the launch entries of missing programs, the recent documents' clearing
        # (in the sandbox) and the automatic wallpaper change's switch.
        harmless = ("エディタ", "「最近使ったファイル」の削除", "起動毎に壁紙を変更")
        self.safe = [i for i, p, kids, _ in all_nodes
                     if i != 0 and (kids or p.get("type") == "separator" or p.get("enabled") is False
                                    or str(p.get("label", "")).startswith(harmless))]
        # With windows: also the entries that open one, which the run closes again at once.
        openers = ("システム情報", "テンポラリファイルの削除", "Veska のプロパティ")
        self.openers = [i for i, p, _, _ in all_nodes if windows and str(p.get("label", "")).startswith(openers)]
        self.safe += self.openers
        self.opened = False  # whether the last call clicked an opener
        self.parents = [i for i, _, kids, _ in all_nodes if kids]
        kinds = [(self.item_click, 3 if popups else 0), (self.secondary, 3), (self.scroll, 4), (self.token, 4),
                 (self.item_get, 8), (self.item_get_all, 4), (self.get_layout, 14), (self.group_props, 8),
                 (self.get_property, 8), (self.event, 14), (self.event_group, 8), (self.about_to_show, 10),
                 (self.about_to_show_group, 6), (self.ill_typed, 10)]
        self.kinds = [k for k, w in kinds for _ in range(w) if not only or k.__name__ in only]
        if not self.kinds:
            raise SystemExit("no calls of the kinds %s" % ", ".join(only))

    def next(self):
        self.opened = False
        return self.rnd.choice(self.kinds)()

    def some_id(self):
        r = self.rnd.random()
        if r < 0.6:
            return self.rnd.choice(self.ids)
        return self.rnd.choice([-1, 9999, 2 ** 31 - 1, -2 ** 31, self.rnd.randrange(1, 100000)])

    def some_string(self, most=40):
        alphabet = "abcdefghijklmnopqrstuvwxyz-_.0123456789 ラベル壁紙"
        return "".join(self.rnd.choice(alphabet) for _ in range(self.rnd.randrange(0, most)))

    def some_names(self):
        known = ["label", "enabled", "visible", "type", "toggle-type", "toggle-state", "children-display",
                 "icon-name", "icon-data", "shortcut", "accessible-desc"]
        return [self.rnd.choice(known) if self.rnd.random() < 0.7 else self.some_string()
                for _ in range(self.rnd.choice([0, 0, 1, 2, 5, 12]))]

    def some_data(self):
        return self.rnd.choice([GLib.Variant("s", ""), GLib.Variant("i", 0), GLib.Variant("u", 7),
                                GLib.Variant("s", self.some_string(200)), GLib.Variant("(ii)", (1, 2)),
                                GLib.Variant("a{sv}", {"x": GLib.Variant("i", 1)}),
                                GLib.Variant("ay", bytes(self.rnd.randrange(0, 300)))])

    def event_id(self, node):
        if node in self.safe and self.rnd.random() < 0.5:
            self.opened = self.opened or node in self.openers
            return "clicked"
        if node not in self.ids and self.rnd.random() < 0.5:
            return "clicked"  # no such entry: refused
        return self.rnd.choice(["opened", "closed", "hovered", "", self.some_string()])

    def item_click(self):
        return "/StatusNotifierItem", ITEM, self.rnd.choice(["Activate", "ContextMenu"]), GLib.Variant(
            "(ii)", (self.rnd.randrange(-5000, 5000), self.rnd.randrange(-5000, 5000)))

    def secondary(self):
        return "/StatusNotifierItem", ITEM, "SecondaryActivate", GLib.Variant("(ii)", (10, 20))

    def scroll(self):
        return "/StatusNotifierItem", ITEM, "Scroll", GLib.Variant(
            "(is)", (self.rnd.randrange(-1000, 1000), self.rnd.choice(["vertical", "horizontal", self.some_string()])))

    def token(self):
        most = 4096 if self.rnd.random() < 0.1 else 100
        return "/StatusNotifierItem", ITEM, "ProvideXdgActivationToken", GLib.Variant("(s)", (self.some_string(most),))

    def item_get(self):
        names = ["Category", "Id", "Title", "Status", "WindowId", "IconName", "IconPixmap", "OverlayIconPixmap",
                 "AttentionIconPixmap", "ToolTip", "ItemIsMenu", "Menu", "IconThemePath", "Nope"]
        iface = ITEM if self.rnd.random() < 0.9 else self.rnd.choice([MENU, "org.example.Nothing"])
        if iface == MENU:
            names = ["Version", "TextDirection", "Status", "IconThemePath", "Nope"]
        path = "/StatusNotifierItem" if iface != MENU else "/MenuBar"
        return path, PROPS, "Get", GLib.Variant("(ss)", (iface, self.rnd.choice(names)))

    def item_get_all(self):
        path, iface = self.rnd.choice([("/StatusNotifierItem", ITEM), ("/MenuBar", MENU), ("/MenuBar", "x.y")])
        return path, PROPS, "GetAll", GLib.Variant("(s)", (iface,))

    def get_layout(self):
        parent = self.rnd.choice(self.parents) if self.rnd.random() < 0.4 else self.some_id()
        depth = self.rnd.choice([-1, -1, 0, 1, 2, 3, 100, -7, 2 ** 31 - 1, -2 ** 31])
        return "/MenuBar", MENU, "GetLayout", GLib.Variant("(iias)", (parent, depth, self.some_names()))

    def group_props(self):
        ids = [self.some_id() for _ in range(self.rnd.choice([0, 1, 3, 10, 40]))]
        return "/MenuBar", MENU, "GetGroupProperties", GLib.Variant("(aias)", (ids, self.some_names()))

    def get_property(self):
        name = self.rnd.choice(self.some_names() or ["label"])
        return "/MenuBar", MENU, "GetProperty", GLib.Variant("(is)", (self.some_id(), name))

    def event(self):
        node = self.rnd.choice(self.safe) if self.safe and self.rnd.random() < 0.3 else self.some_id()
        return "/MenuBar", MENU, "Event", GLib.Variant(
            "(isvu)", (node, self.event_id(node), self.some_data(), self.rnd.randrange(0, 2 ** 32)))

    def event_group(self):
        events = []
        for _ in range(self.rnd.choice([0, 1, 2, 5, 20])):
            node = self.rnd.choice(self.safe) if self.safe and self.rnd.random() < 0.3 else self.some_id()
            events.append((node, self.event_id(node), self.some_data(), self.rnd.randrange(0, 2 ** 32)))
        return "/MenuBar", MENU, "EventGroup", GLib.Variant("(a(isvu))", (events,))

    def about_to_show(self):
        node = 0 if self.rnd.random() < 0.4 else self.some_id()
        return "/MenuBar", MENU, "AboutToShow", GLib.Variant("(i)", (node,))

    def about_to_show_group(self):
        ids = [self.some_id() for _ in range(self.rnd.choice([0, 1, 3, 10]))]
        return "/MenuBar", MENU, "AboutToShowGroup", GLib.Variant("(ai)", (ids,))

    def ill_typed(self):
        """A known method with the wrong arguments, or an unknown method, interface or path."""
        r = self.rnd
        wrong = [GLib.Variant("()", ()), GLib.Variant("(s)", (self.some_string(),)),
                 GLib.Variant("(ii)", (1, 2)), GLib.Variant("(iii)", (1, 2, 3)),
                 GLib.Variant("(isv)", (1, "clicked", GLib.Variant("s", ""))),
                 GLib.Variant("(ias)", (0, ["label"])), GLib.Variant("(uu)", (1, 2)),
                 GLib.Variant("(a(is))", ([(1, "clicked")],)), GLib.Variant("(ay)", (bytes(50),)),
                 GLib.Variant("(v)", (GLib.Variant("i", 3),))]
        methods = [("/StatusNotifierItem", ITEM, m) for m in
                   ("Activate", "SecondaryActivate", "ContextMenu", "Scroll", "ProvideXdgActivationToken")]
        methods += [("/MenuBar", MENU, m) for m in ("GetLayout", "GetGroupProperties", "GetProperty", "Event",
                                                   "EventGroup", "AboutToShow", "AboutToShowGroup")]
        methods += [("/StatusNotifierItem", PROPS, "Get"), ("/MenuBar", PROPS, "GetAll"),
                    ("/StatusNotifierItem", PROPS, "Set"), ("/MenuBar", MENU, "Nope%d" % self.rnd.randrange(1000)),
                    ("/Nowhere", MENU, "GetLayout"), ("/MenuBar", "org.example.Nothing", "GetLayout"),
                    ("/MenuBar", "org.freedesktop.DBus.Introspectable", "Introspect"),
                    ("/StatusNotifierItem", "org.freedesktop.DBus.Peer", "Ping")]
        path, iface, method = r.choice(methods)
        if method in ("Introspect", "Ping"):
            return path, iface, method, None
        # Activate and ContextMenu pop a menu with their right arguments, which the run may not close.
        args = r.choice([w for w in wrong if not (method in ("Activate", "ContextMenu") and w.get_type_string() == "(ii)")])
        return path, iface, method, args


class Sender:
    """Sends the calls, up to `pipeline` of them at once without waiting for their answers."""

    def __init__(self, run, pipeline):
        self.run, self.pipeline = run, max(1, pipeline)
        self.pending = 0
        self.errors = 0
        self.failure = None  # raised from here, never from a callback, which would skip the clean-up
        self.context = GLib.MainContext.default()

    def wait(self, most):
        while self.pending > most:
            self.context.iteration(True)
            if self.failure:
                raise SystemExit(self.failure)

    def send(self, n, path, iface, method, args):
        self.wait(self.pipeline - 1)
        self.pending += 1
        self.run.bus.call(self.run.service, path, iface, method, args, None, 0, TIMEOUT_MS, None,
                          self.answered, (n, iface, method, args))

    def answered(self, bus, result, what):
        self.pending -= 1
        try:
            bus.call_finish(result)
        except GLib.Error as e:
            # An error is an answer; no answer at all is the fault being looked for.
            if "NoReply" in e.message:
                try:
                    self.run.veska.wait(2)  # a program that ended is told as such
                except subprocess.TimeoutExpired:
                    pass
            if self.run.veska.poll() is not None:
                self.run.args.keep = True
                self.failure = "veska ended with %s at call %d (%s.%s%s); its standard error: %s" % (
                    (self.run.veska.returncode,) + what + (self.run.log.name,))
            elif "NoReply" in e.message or "Timeout" in str(e):
                self.failure = "call %d (%s.%s%s) got no answer: %s" % (what + (e.message,))
            self.errors += 1

    def drain(self):
        self.wait(0)


def close_windows(run, opened=False):
    """Escape until no window of Veska's shows: to a pop-up menu, which holds the keyboard, or
    to the focused window. opened: a click opens one soon, which is waited for first."""
    screen = harness.Screen(run.display)
    if opened:
        harness.wait_for(screen.veska_windows, "the window a click opens")

    tries = [0]

    def gone():
        shown = screen.veska_windows()
        if not shown:
            return True
        # The properties dialog may hold a box over it, which has to go first: each in turn.
        shown.sort(key=lambda w: w[1] == "Veska のプロパティ")
        window, title = shown[tries[0] % len(shown)][:2]
        tries[0] += 1
        if not screen.is_popup(window):
            run.display.xdotool("windowfocus", "--sync", window, check=False)
        # The system information window closes with its OK only.
        run.display.xdotool("key", "Return" if title == "システム情報" else "Escape", check=False)
        return False
    try:
        harness.wait_for(gone, "Veska's windows to close", interval=0.1)
    except AssertionError:
        raise SystemExit("these windows of Veska's stay open: %s (a screenshot: %s)" % (
            ", ".join(repr(w[1]) for w in screen.veska_windows()), run.display.screenshot("host-calls")))


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--calls", type=int, default=20000, help="calls after the warm-up (20000)")
    p.add_argument("--warmup", type=int, default=1000, help="calls before the baseline (1000)")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--every", type=int, default=2000, help="print RSS every so many calls (2000)")
    p.add_argument("--pipeline", type=int, default=1,
                   help="calls on their way at once, sent without waiting for the answers (1)")
    p.add_argument("--close-every", type=int, default=100, help="close pop-ups every so many calls (100)")
    p.add_argument("--program", default=os.path.join(HERE, "..", "build", "veska"))
    p.add_argument("--display", choices=["xvfb", "offscreen"], default="xvfb" if shutil.which("Xvfb") else "offscreen")
    p.add_argument("--desktop", default="GNOME", help="XDG_CURRENT_DESKTOP for Veska (GNOME)")
    p.add_argument("--settle", type=float, default=3.0, help="seconds to wait before the last reading (3)")
    p.add_argument("--wrap", default="", help="a command to run Veska under (valgrind, heaptrack)")
    p.add_argument("--timeout", type=float, default=60.0, help="seconds Veska may take to register (60)")
    p.add_argument("--max-growth-kb", type=int, default=None, help="fail when VmRSS grew more than this")
    p.add_argument("--only", default="", help="only these kinds of call, by their method in Calls: "
                   "item_click,secondary,scroll,token,item_get,item_get_all,get_layout,group_props,get_property,"
                   "event,event_group,about_to_show,about_to_show_group,ill_typed")
    p.add_argument("--windows", action="store_true",
                   help="also click the entries that open a window, and close it again (Xvfb only)")
    p.add_argument("--trim", action="store_true",
                   help="at the end, also the reading after malloc_trim(0) in Veska (through gdb)")
    p.add_argument("--keep", action="store_true", help="keep the sandbox folder")
    p.add_argument("--watcher", action="store_true", help=argparse.SUPPRESS)
    a = p.parse_args()
    if a.watcher:
        return run_watcher()
    a.program = os.path.abspath(a.program)
    if a.windows and a.display != "xvfb":
        raise SystemExit("--windows needs Xvfb")
    if not os.path.exists(a.program):
        raise SystemExit("no program at %s: build it first" % a.program)

    run = Run(a)
    try:
        run.start()
        popups = a.display == "xvfb"
        calls = Calls(random.Random(a.seed), run.layout(), popups, a.windows, a.only.split(",") if a.only else ())
        print("veska pid %d, seed %d, %d entries (%d safe to click), display %s" % (
            run.pid, a.seed, len(calls.ids), len(calls.safe), a.display), flush=True)
        print("%8s %10s %10s %9s" % ("calls", "VmRSS kB", "RssAnon kB", "errors"), flush=True)
        start = rss(run.pid)
        print("%8s %10d %10d %9s" % ("start", start[0], start[1], "-"), flush=True)
        baseline = None
        total = a.warmup + a.calls
        sender = Sender(run, a.pipeline)
        for n in range(1, total + 1):
            path, iface, method, args = calls.next()
            sender.send(n, path, iface, method, args)
            if calls.opened:
                sender.drain()
                close_windows(run, opened=True)
            elif popups and n % a.close_every == 0:
                close_windows(run)
            if n == a.warmup or (n > a.warmup and (n - a.warmup) % a.every == 0) or n == total:
                sender.drain()
                if popups:
                    close_windows(run)
                now = rss(run.pid)
                label = "warm-up" if n == a.warmup else str(n - a.warmup)
                if n == a.warmup:
                    baseline = now
                print("%8s %10d %10d %9d" % (label, now[0], now[1], sender.errors), flush=True)
        sender.drain()
        if popups:
            close_windows(run)
        time.sleep(a.settle)
        end = rss(run.pid)
        base = baseline or start
        growth = end[0] - base[0]
        print("%8s %10d %10d %9d" % ("settled", end[0], end[1], sender.errors), flush=True)
        print("growth after the warm-up: VmRSS %+d kB, RssAnon %+d kB" % (growth, end[1] - base[1]), flush=True)
        if a.trim:
            # What the allocator keeps for later is given back: the rest is in use.
            subprocess.run(["gdb", "-p", str(run.pid), "-batch", "-ex", "call (int) malloc_trim(0)"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            trimmed = rss(run.pid)
            print("%8s %10d %10d" % ("trimmed", trimmed[0], trimmed[1]), flush=True)
        if run.veska.poll() is not None:
            raise SystemExit("veska ended with %s" % run.veska.returncode)
        if a.max_growth_kb is not None and growth > a.max_growth_kb:
            raise SystemExit("VmRSS grew by %d kB, more than %d" % (growth, a.max_growth_kb))
    finally:
        run.stop()


if __name__ == "__main__":
    main()
