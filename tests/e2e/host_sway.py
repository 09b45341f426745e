"""Veska's tray icon on a Wayland desktop: sway on wlroots' headless backend with waybar's tray.

sway refuses to run as root, so the compositor, its session bus, waybar and Veska run as an
unprivileged account (made when missing). The headless seat has no input device: clicks go
through a virtual pointer (zwlr_virtual_pointer_v1) spoken to directly on sway's socket, keys
through wtype's virtual keyboard. What shows is read from grim's screenshots.
"""
import glob
import json
import os
import pwd
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time

import harness
from harness import SHOTS, TIMEOUT, wait_for

USER = "veska-e2e"
WIDTH, HEIGHT, BAR = 800, 600, 24
TOOLS = ("sway", "swaymsg", "waybar", "grim", "wtype", "dbus-daemon", "convert", "Xwayland")

BTN_LEFT, BTN_RIGHT, BTN_MIDDLE = 0x110, 0x111, 0x112
BUTTONS = {1: BTN_LEFT, 2: BTN_MIDDLE, 3: BTN_RIGHT}


def missing_tools():
    return [t for t in TOOLS if not shutil.which(t)]


def has_qt_platform(name):
    """Whether Qt 6 has this platform plugin (the wayland one comes with qt6-wayland)."""
    plugin = "libq%s.so" % ("wayland-generic" if name == "wayland" else name)
    return any(os.path.exists(os.path.join(d, "qt6", "plugins", "platforms", plugin))
               for d in glob.glob("/usr/lib/*-linux-gnu") + ["/usr/lib"])


class Account:
    """The unprivileged account everything of the session runs as."""

    def __init__(self):
        self.as_root = os.geteuid() == 0
        if self.as_root:
            try:
                pw = pwd.getpwnam(USER)
            except KeyError:
                # Another module may be making it at the same moment.
                subprocess.run(["useradd", "-m", USER], capture_output=True)
                pw = pwd.getpwnam(USER)
        else:
            pw = pwd.getpwuid(os.geteuid())
        self.uid, self.gid = pw.pw_uid, pw.pw_gid

    def popen(self):
        return dict(user=self.uid, group=self.gid, extra_groups=[]) if self.as_root else {}

    def own(self, path):
        if not self.as_root:
            return
        os.chown(path, self.uid, self.gid)
        for top, dirs, files in os.walk(path):
            for name in dirs + files:
                os.lchown(os.path.join(top, name), self.uid, self.gid)


class Shot:
    """One screenshot of the output as raw RGB rows."""

    def __init__(self, ppm):
        fields, pos = [], 0
        while len(fields) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise AssertionError("grim gave no 8-bit PPM")
        self.ppm = ppm
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = ppm[pos + 1:]
        self.stride = self.width * 3

    def row(self, y):
        return self.data[y * self.stride:(y + 1) * self.stride]

    def pixel(self, x, y):
        i = y * self.stride + x * 3
        return tuple(self.data[i:i + 3])

    def find(self, rgb, top=0, bottom=None):
        """Bounding box (x0, y0, x1, y1; x1, y1 exclusive) of the pixels of one colour, or None."""
        needle = bytes(rgb)
        xs, ys = [], []
        for y in range(top, self.height if bottom is None else bottom):
            row = self.row(y)
            i = row.find(needle)
            while i >= 0:
                if i % 3 == 0:
                    xs.append(i // 3)
                    ys.append(y)
                i = row.find(needle, i + 1)
        return (min(xs), min(ys), max(xs) + 1, max(ys) + 1) if xs else None

    def changed(self, other):
        """Bounding box of the pixels that differ from another shot, or None."""
        box = None
        for y in range(self.height):
            a, b = self.row(y), other.row(y)
            if a == b:
                continue
            # The first and last differing bytes, by halving with whole-slice comparisons.
            lo, hi = 0, len(a)
            while hi - lo > 1:
                mid = (lo + hi) // 2
                lo, hi = (mid, hi) if a[:mid] == b[:mid] else (lo, mid)
            first = lo
            lo, hi = 0, len(a)
            while hi - lo > 1:
                mid = (lo + hi) // 2
                lo, hi = (mid, hi) if a[len(a) - mid:] == b[len(b) - mid:] else (lo, mid)
            last = len(a) - hi
            x0, x1 = first // 3, last // 3 + 1
            box = (x0, y, x1, y + 1) if box is None else (
                min(box[0], x0), box[1], max(box[2], x1), y + 1)
        return box

    def save(self, name):
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name + ".png")
        subprocess.run(["convert", "ppm:-", path], input=self.ppm, check=True)
        return path


def read_text(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8", "replace")


def gap(a, b):
    """The distance between two boxes; 0 when they touch or overlap."""
    dx = max(a[0] - b[2], b[0] - a[2], 0)
    dy = max(a[1] - b[3], b[1] - a[3], 0)
    return max(dx, dy)


class VirtualPointer:
    """A pointer device of its own on sway's seat, over the bare Wayland wire protocol.

    While it is connected the seat has a pointer, so waybar gets real motion and button events
    with serials, as from a mouse."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.next_id, self.buffer, self.time = 2, b"", 0
        registry = self.new_id()
        self.send(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
        found = {}

        def on_event(obj, opcode, body):
            if obj == registry and opcode == 0:  # wl_registry.global
                name, length = struct.unpack("<II", body[:8])
                found[body[8:8 + length - 1].decode()] = name
        self.roundtrip(on_event)
        interface = "zwlr_virtual_pointer_manager_v1"
        if interface not in found:
            raise AssertionError("sway offers no " + interface)
        manager = self.new_id()
        text = interface.encode() + b"\0"
        text += b"\0" * (-len(text) % 4)
        self.send(registry, 0, struct.pack("<I", found[interface]) + struct.pack("<I", len(interface) + 1) + text
                  + struct.pack("<II", 1, manager))  # wl_registry.bind
        self.pointer = self.new_id()
        self.send(manager, 0, struct.pack("<II", 0, self.pointer))  # create_virtual_pointer(seat: default)
        self.roundtrip()

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def send(self, obj, opcode, payload=b""):
        self.sock.sendall(struct.pack("<II", obj, (8 + len(payload)) << 16 | opcode) + payload)

    def roundtrip(self, on_event=lambda *event: None):
        callback = self.new_id()
        self.send(1, 0, struct.pack("<I", callback))  # wl_display.sync
        while True:
            while len(self.buffer) >= 8:
                obj, word = struct.unpack("<II", self.buffer[:8])
                size = word >> 16
                if len(self.buffer) < size:
                    break
                body, self.buffer = self.buffer[8:size], self.buffer[size:]
                if obj == callback:
                    return
                if obj == 1 and word & 0xffff == 0:
                    raise AssertionError("the compositor refused the virtual pointer: %r" % body)
                on_event(obj, word & 0xffff, body)
            chunk = self.sock.recv(65536)
            if not chunk:
                raise AssertionError("the compositor closed the virtual pointer's connection")
            self.buffer += chunk

    def stamp(self):
        self.time = max(self.time + 10, int(time.monotonic() * 1000)) & 0xffffffff
        return self.time

    def move(self, x, y):
        self.send(self.pointer, 1, struct.pack("<IIIII", self.stamp(), x, y, WIDTH, HEIGHT))
        self.send(self.pointer, 4)  # frame
        self.roundtrip()

    def click(self, button):
        for state in (1, 0):
            self.send(self.pointer, 2, struct.pack("<III", self.stamp(), BUTTONS[button], state))
            self.send(self.pointer, 4)
        self.roundtrip()

    def close(self):
        self.sock.close()


class SwayHost:
    """sway headless with waybar's tray at the top, run as the unprivileged account."""

    def __init__(self):
        self.account = Account()
        self.root = None
        self.bus = self.sway = self.waybar = self.keyboard = self.pointer = None
        self.env = None

    # ---- the session -----------------------------------------------------------------------
    def start(self, waybar=True):
        self.root = tempfile.mkdtemp(prefix="veska-sway-")
        os.chmod(self.root, 0o755)
        self.runtime = os.path.join(self.root, "runtime")
        self.home = os.path.join(self.root, "home")
        os.makedirs(self.runtime, mode=0o700)
        os.makedirs(self.home)
        self.config = os.path.join(self.root, "sway.config")
        with open(self.config, "w") as f:
            # No bar block: waybar is started (and killed) by hand. No wallpaper: the plain
            # background is what the pictures are compared on.
            f.write("xwayland enable\n"
                    "output HEADLESS-1 resolution %dx%d position 0 0\n"
                    "default_border normal\nfocus_follows_mouse no\n" % (WIDTH, HEIGHT))
        with open(os.path.join(self.root, "waybar.json"), "w") as f:
            json.dump({"layer": "top", "position": "top", "height": BAR, "modules-right": ["tray"],
                       "tray": {"icon-size": 16, "spacing": 4}}, f)
        with open(os.path.join(self.root, "waybar.css"), "w") as f:
            # A tooltip coming under the pointer resting on the icon would pass for a menu.
            f.write("* { font-size: 12px; min-height: 0; }\nwindow#waybar { background: #c0c0c0; }\n"
                    "tooltip, tooltip * { opacity: 0; background: transparent; }\n")
        self.account.own(self.root)
        base = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home, "LANG": "C.UTF-8",
                "XDG_RUNTIME_DIR": self.runtime, "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
                "NO_AT_BRIDGE": "1", "GTK_A11Y": "none", "GSETTINGS_BACKEND": "memory"}
        self.bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                               "--address=unix:path=" + os.path.join(self.runtime, "bus")], base,
                              "dbus", stdout=subprocess.PIPE)
        address = self.bus.stdout.readline().decode().strip()
        if not address:
            raise AssertionError("the session bus did not start")
        base["DBUS_SESSION_BUS_ADDRESS"] = address
        self.sway = self.spawn(["sway", "-c", self.config], dict(base, WLR_BACKENDS="headless", WLR_RENDERER="pixman",
                                                                 WLR_LIBINPUT_NO_DEVICES="1"), "sway")
        sock = wait_for(lambda: self.sway.poll() is None and glob.glob(
            os.path.join(self.runtime, "sway-ipc.*.%d.sock" % self.sway.pid)) or self.sway_died(), "sway's socket")
        display = wait_for(lambda: [n for n in os.listdir(self.runtime) if n.startswith("wayland-")
                                    and not n.endswith(".lock")] or self.sway_died(), "sway's Wayland socket")
        self.env = dict(base, SWAYSOCK=sock[0], WAYLAND_DISPLAY=os.path.join(self.runtime, display[0]))
        # Xwayland's display number as sway hands it to the programs it starts.
        dump = os.path.join(self.runtime, "session.env")
        self.swaymsg("exec env > %s.part && mv %s.part %s" % (dump, dump, dump))
        session = wait_for(lambda: os.path.exists(dump) and read_text(dump), "sway's session environment")
        values = dict(line.split("=", 1) for line in session.splitlines() if "=" in line)
        if "DISPLAY" in values:
            self.env["DISPLAY"] = values["DISPLAY"]
        self.pointer = VirtualPointer(self.env["WAYLAND_DISPLAY"])
        # A keyboard that stays: Qt's Wayland windows miss the keys of a keyboard that comes
        # and goes with each wtype.
        self.keyboard = self.spawn(["wtype", "-s", "3600000"], self.env, "keyboard")
        if waybar:
            self.start_waybar()
        return self

    def sway_died(self):
        if self.sway.poll() is not None:
            raise AssertionError("sway ended with %s: %s" % (self.sway.returncode, self.log("sway")[-2000:]))
        return None

    def spawn(self, argv, env, name, stdout=None):
        log = open(os.path.join(self.root, name + ".log"), "ab")
        try:
            return subprocess.Popen(argv, env=env, cwd=self.home, stdin=subprocess.DEVNULL,
                                    stdout=stdout or log, stderr=log, start_new_session=True, **self.account.popen())
        finally:
            log.close()

    def log(self, name):
        path = os.path.join(self.root, name + ".log")
        return read_text(path) if os.path.exists(path) else ""

    def start_waybar(self):
        self.waybar = self.spawn(["waybar", "-c", os.path.join(self.root, "waybar.json"),
                                  "-s", os.path.join(self.root, "waybar.css")], self.env, "waybar")
        wait_for(lambda: self.bar_shown() or self.waybar_died(), "waybar's bar")

    def waybar_died(self):
        if self.waybar.poll() is not None:
            raise AssertionError("waybar ended with %s: %s" % (self.waybar.returncode, self.log("waybar")[-2000:]))
        return None

    def bar_shown(self):
        return self.grab().pixel(WIDTH // 2, BAR // 2) == (0xc0, 0xc0, 0xc0)

    def kill_waybar(self):
        self.end(self.waybar, signal.SIGKILL)
        self.waybar = None

    @staticmethod
    def end(proc, sig=signal.SIGTERM):
        if proc is None or proc.poll() is not None:
            return
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            pass
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()

    def stop(self):
        if self.pointer:
            self.pointer.close()
        for proc in (self.waybar, self.keyboard, self.sway, self.bus):
            self.end(proc)
        if self.bus and self.bus.stdout:
            self.bus.stdout.close()
        if self.root:
            shutil.rmtree(self.root, ignore_errors=True)

    # ---- talking to the session -------------------------------------------------------------
    def run(self, *argv, check=True, **kwargs):
        r = subprocess.run(argv, env=self.env, capture_output=True, **self.account.popen(), **kwargs)
        if check and r.returncode != 0:
            raise AssertionError("%s failed: %s" % (" ".join(argv), r.stderr.decode("utf-8", "replace")))
        return r.stdout

    def swaymsg(self, *args):
        return self.run("swaymsg", *args)

    def tree(self):
        return json.loads(self.run("swaymsg", "-t", "get_tree", "-r"))

    def windows(self):
        """Every window sway manages, as dicts of its tree."""
        out, todo = [], [self.tree()]
        while todo:
            node = todo.pop()
            if node.get("type") in ("con", "floating_con") and node.get("pid"):
                out.append(node)
            todo += node.get("nodes", []) + node.get("floating_nodes", [])
        return out

    def window(self, title):
        return next((w for w in self.windows() if w.get("name") == title), None)

    def wait_window(self, title):
        return wait_for(lambda: self.window(title), "the window " + title)

    def wait_no_window(self, title):
        wait_for(lambda: self.window(title) is None, "the window %s to close" % title)

    def keys(self, *names):
        argv = ["wtype"]
        for name in names:
            argv += ["-k", name, "-s", "30"]
        self.run(*argv)

    def focus_keys(self, window, *names):
        self.swaymsg("[con_id=%d] focus" % window["id"])
        self.keys(*names)

    def click_in(self, window, x, y):
        """Clicks the left button at (x, y) inside a window's own area, below its title bar."""
        # Where it is now: sway 1.10 first gives a new floating window's rect with its title bar
        # in it, and moves it down by that bar a moment later.
        window = next((w for w in self.windows() if w["id"] == window["id"]), window)
        outer, inner = window["rect"], window["window_rect"]
        self.pointer.move(outer["x"] + inner["x"] + x, outer["y"] + inner["y"] + y)
        self.pointer.click(1)

    def grab(self):
        return Shot(self.run("grim", "-t", "ppm", "-"))

    def still(self):
        """A screenshot once two in a row agree: nothing is being drawn."""
        seen = [None]

        def settled():
            now = self.grab()
            same, seen[0] = seen[0] is not None and now.data == seen[0].data, now
            return same
        wait_for(settled, "the screen to hold still", interval=0.1)
        return seen[0]

    def screenshot(self, name):
        return self.grab().save(name)

    # ---- the tray -----------------------------------------------------------------------------
    def icon(self, rgb):
        """Where the icon of this colour stands in the bar, as a box, or None."""
        box = self.grab().find(rgb, 0, BAR)
        return box if box and box[2] - box[0] >= 8 and box[3] - box[1] >= 8 else None

    def wait_icon(self, rgb, timeout=TIMEOUT):
        return wait_for(lambda: self.icon(rgb), "the icon in waybar's tray", timeout=timeout)

    def pop(self, rgb, button, name=None):
        """Clicks the icon and returns what the click brought up, as a Menu.

        The pointer is moved onto the icon first and the screen taken once it holds still, so
        the only change the click makes is what it opens."""
        icon = self.wait_icon(rgb)
        self.pointer.move((icon[0] + icon[2]) // 2, (icon[1] + icon[3]) // 2)
        before = self.still()
        self.pointer.click(button)

        def opened():
            box = before.changed(self.grab())
            # More than the icon itself (a pressed look) changed.
            return box if box and (box[2] - box[0] > 2 * (icon[2] - icon[0]) or
                                   box[3] - box[1] > 2 * (icon[3] - icon[1])) else None
        wait_for(opened, "something to open on button %d" % button)
        after = self.still()
        if name:
            after.save(name)
        return Menu(self, icon, before, after)


class Menu:
    """A menu on the screen: where it is and its entries' rows, read from its pixels."""

    def __init__(self, host, icon, before, after):
        self.host, self.icon, self.before, self.after = host, icon, before, after
        self.box = before.changed(after)
        self.rows = self.text_rows()

    def text_rows(self):
        """The bands of rows where dark (text) pixels came: one per entry. Separators are light
        lines and fall out; the frame's edges, where shadows and the pointer are, are left out."""
        x0, y0, x1, y1 = self.box
        x0, x1, y0, y1 = x0 + 8, x1 - 8, y0 + 3, y1 - 3
        bands, start = [], None
        for y in range(y0, y1 + 1):
            ink = False
            if y < y1:
                now, was = self.after.row(y), self.before.row(y)
                ink = any(max(now[i:i + 3]) < 128 and now[i:i + 3] != was[i:i + 3] for i in range(x0 * 3, x1 * 3, 3))
            if ink and start is None:
                start = y
            elif not ink and start is not None:
                bands.append((start, y))
                start = None
        return bands

    def submenu(self, index):
        """Rests the pointer on the entry in this row until its submenu opens beside the menu."""
        top, bottom = self.rows[index]
        self.host.pointer.move((self.box[0] + self.box[2]) // 2, (top + bottom) // 2)
        wait_for(lambda: (self.after.changed(self.host.grab()) or self.box)[0] < self.box[0], "a submenu")
        sub = Menu(self.host, self.icon, self.after, self.host.still())
        sub.box = sub.box[:2] + (self.box[0], sub.box[3])  # left of this one, as the icon is at the right
        sub.rows = sub.text_rows()
        return sub

    def choose(self, index):
        """Clicks the entry in this row, as a user does (waybar's menus take no keys on sway)."""
        top, bottom = self.rows[index]
        for dx in (0, 2):  # a submenu just opened takes the first motion for entering it
            self.host.pointer.move((self.box[0] + self.box[2]) // 2 + dx, (top + bottom) // 2)
        self.host.pointer.click(1)
        # Back where it was, so that the screen can look as before the menu.
        self.host.pointer.move((self.icon[0] + self.icon[2]) // 2, (self.icon[1] + self.icon[3]) // 2)
        self.wait_closed()

    def dismiss(self):
        """Closes the menu with a click beside it, as a user does (it takes no Escape)."""
        self.host.pointer.move(WIDTH // 2, HEIGHT // 2)
        self.host.pointer.click(1)
        self.host.pointer.move((self.icon[0] + self.icon[2]) // 2, (self.icon[1] + self.icon[3]) // 2)
        self.wait_closed()

    def wait_closed(self):
        """Waits until the menu's part over the bar, left of the icon, looks as before: a window
        it opened may cover the rest at once."""
        x0, y0, x1, y1 = self.box
        spans = [(x0, x1)]
        if y0 < BAR:
            y1 = min(y1, BAR)
            # Not the icon's columns: it leaves when the exit is chosen.
            spans = [(x0, min(x1, self.icon[0])), (max(x0, self.icon[2]), x1)]

        def closed():
            now = self.host.grab()
            return all(now.row(y)[a * 3:b * 3] == self.before.row(y)[a * 3:b * 3]
                       for y in range(y0, y1) for a, b in spans)
        wait_for(closed, "the menu to close")


class SwayVeska(harness.Veska):
    """The harness's sandbox, owned by the session's account and started inside the session."""

    def __init__(self, host, platform):
        if platform == "xcb" and "DISPLAY" not in host.env:
            raise AssertionError("sway started no Xwayland")
        super().__init__(host)
        self.host = host
        # What a program started by sway in a logged-in session sees; Qt under Xwayland ("xcb")
        # or as a Wayland client ("wayland").
        self.env.update(QT_QPA_PLATFORM=platform, XDG_SESSION_TYPE="wayland", XDG_CURRENT_DESKTOP="sway")

    def start(self):
        self.host.account.own(self.root)
        log = open(os.path.join(self.root, "stderr-%d.log" % len(self.procs)), "wb")
        p = subprocess.Popen([self.program], env=self.env, cwd=self.root, stdout=subprocess.DEVNULL, stderr=log,
                             **self.host.account.popen())
        p.log_path = log.name
        log.close()
        self.procs.append(p)
        return p
