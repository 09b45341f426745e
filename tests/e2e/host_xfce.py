"""xfce4-panel as the tray host: Xvfb, a private session bus and a panel holding only its status
tray (a StatusNotifierItem watcher and host, and an XEmbed tray), driven with xdotool.

The panel reads its configuration through xfconfd, which the private bus starts on demand with the
bus's own environment; so the bus gets the private XDG folders, and the channel file it finds there
has a version and a panel, which keeps the panel's first-start dialog away.
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time

import harness
from harness import TIMEOUT, wait_for

PANEL = shutil.which("xfce4-panel")
WATCHER = "org.kde.StatusNotifierWatcher"
PANEL_HEIGHT = 26
WIDTH, HEIGHT = 800, 600

PANEL_XML = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="%d"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
""" % PANEL_HEIGHT


def kill_group(proc):
    """Kills a process started in a session of its own, with whatever it started."""
    if proc is None:
        return
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    proc.wait()


class XfceDisplay(harness.Display):
    """One Xvfb server, one private session bus and (when started) one xfce4-panel on top."""

    def __init__(self):
        super().__init__()
        self.root = tempfile.mkdtemp(prefix="veska-xfce-")
        self.bus = None
        self.panel = None
        self.panel_runs = 0

    # ---- the display and the bus ---------------------------------------------------------------
    def start(self, host=True):
        try:
            self.start_xvfb(WIDTH, HEIGHT)
            for name in ("SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS"):
                self.env.pop(name, None)
            self._start_bus()
            if host:
                self.start_host()
        except BaseException:
            self.stop()
            raise
        return self

    def _start_bus(self):
        home = os.path.join(self.root, "host")
        folders = {"XDG_CONFIG_HOME": "config", "XDG_CACHE_HOME": "cache", "XDG_DATA_HOME": "data",
                   "XDG_RUNTIME_DIR": "runtime"}
        self.host_env = dict(self.env, HOME=home, NO_AT_BRIDGE="1", GTK_A11Y="none", LANG="C.UTF-8")
        for name, sub in folders.items():
            path = os.path.join(home, sub)
            os.makedirs(path, mode=0o700, exist_ok=True)
            self.host_env[name] = path
        channel = os.path.join(self.host_env["XDG_CONFIG_HOME"], "xfce4", "xfconf", "xfce-perchannel-xml")
        os.makedirs(channel, exist_ok=True)
        with open(os.path.join(channel, "xfce4-panel.xml"), "w") as f:
            f.write(PANEL_XML)
        # A session of its own: the services it starts (xfconfd) go with it.
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                    env=self.host_env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                    start_new_session=True)
        address = self.bus.stdout.readline().decode().strip()
        if not address:
            raise AssertionError("dbus-daemon did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.host_env["DBUS_SESSION_BUS_ADDRESS"] = address

    def stop(self):
        kill_group(self.panel)
        self.panel = None
        if self.bus:
            kill_group(self.bus)
            self.bus.stdout.close()
            self.bus = None
        super().stop()
        self.procs = []
        shutil.rmtree(self.root, ignore_errors=True)

    # ---- the panel -----------------------------------------------------------------------------
    def start_host(self):
        log = open(os.path.join(self.root, "panel-%d.log" % self.panel_runs), "wb")
        self.panel_runs += 1
        # No window manager here: without the flag the panel waits for one for seconds.
        self.panel = subprocess.Popen([PANEL, "--disable-wm-check"], env=self.host_env, stdout=log,
                                      stderr=subprocess.STDOUT, start_new_session=True)
        log.close()
        wait_for(lambda: self.has_owner(WATCHER), "the panel's status tray on the bus")
        wait_for(self.panel_window, "the panel")

    def host_log(self):
        """What the panels run so far wrote (their warnings about items and menus)."""
        text = ""
        for n in range(self.panel_runs):
            with open(os.path.join(self.root, "panel-%d.log" % n), "rb") as f:
                text += f.read().decode("utf-8", "replace")
        return text

    def kill_host(self):
        """Kills the panel and its plug-in process outright, as a crash would."""
        kill_group(self.panel)
        self.panel = None
        wait_for(lambda: not self.has_owner(WATCHER), "the watcher to leave the bus")

    def restart_host(self):
        self.kill_host()
        self.start_host()

    def has_owner(self, name):
        r = subprocess.run(["dbus-send", "--session", "--print-reply=literal", "--dest=org.freedesktop.DBus",
                            "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name],
                           env=self.env, capture_output=True, text=True)
        return r.returncode == 0 and "true" in r.stdout

    def registered_items(self):
        """The watcher's list of items (bus name and path), for messages."""
        r = subprocess.run(["dbus-send", "--session", "--print-reply=literal", "--dest=" + WATCHER,
                            "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get",
                            "string:" + WATCHER, "string:RegisteredStatusNotifierItems"],
                           env=self.env, capture_output=True, text=True)
        return r.stdout.strip() if r.returncode == 0 else r.stderr.strip()

    def panel_window(self):
        return [w for w in self.windows("--classname", "xfce4-panel") if self.geometry(w)[3] >= PANEL_HEIGHT - 2]

    # ---- the screen ----------------------------------------------------------------------------
    def find_colour(self, rgb, region=None):
        """The bounding box (x, y, w, h) of the screen's pixels of exactly this colour, or None
        (also when they reach out of region)."""
        data = self.grab("root")
        needle = bytes(rgb)
        xs, ys = [], []
        at = data.find(needle)
        while at >= 0:
            if at % 3 == 0:
                y, x = divmod(at // 3, WIDTH)
                xs.append(x)
                ys.append(y)
            at = data.find(needle, at + (3 if at % 3 == 0 else 1))
        if not xs:
            return None
        box = (min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
        if region:
            rx, ry, rw, rh = region
            if not (rx <= box[0] and box[0] + box[2] <= rx + rw and ry <= box[1] and box[1] + box[3] <= ry + rh):
                return None
        return box

    def popups(self):
        """The visible top-level pop-ups (menus) on the screen, whoever shows them: {id: (x, y, w, h)}.
        Qt's menus here carry the normal window type, so a menu is known by being override-redirect."""
        out = {}
        for w in self.windows("--maxdepth", "1", "--name", ""):
            info = subprocess.run(["xwininfo", "-id", w], env=self.env, capture_output=True, text=True).stdout
            if "Override Redirect State: yes" not in info or "Map State: IsViewable" not in info:
                continue
            kind = subprocess.run(["xprop", "-id", w, "_NET_WM_WINDOW_TYPE"], env=self.env,
                                  capture_output=True, text=True).stdout
            if "TOOLTIP" in kind or "NOTIFICATION" in kind:
                continue
            g = dict((k.strip(), v.strip()) for k, _, v in (line.partition(":") for line in info.splitlines()))
            try:
                box = tuple(int(g[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))
            except (KeyError, ValueError):
                continue
            if box[2] > 32 and box[3] > 16 and box[0] + box[2] > 0 and box[1] + box[3] > 0:
                out[w] = box
        return out

    def wait_painted(self, window):
        """Waits until a window holds still across two grabs and shows more than a flat fill."""
        seen = [None]

        def ready():
            try:
                now = self.grab(window)
            except subprocess.CalledProcessError:
                return False  # not mapped yet
            still, seen[0] = now == seen[0], now
            return still and len({now[i:i + 3] for i in range(0, len(now), 3)}) > 4
        wait_for(ready, "window %s to be painted" % window)

    def text_rows(self, window, box):
        """The bands of rows holding dark (text) pixels in a menu at box: one per entry; separators
        are light lines and the frame's edges are left out."""
        data, (_, _, width, height) = self.grab(window), box
        ink = [any(max(data[i:i + 3]) < 128 for i in range((y * width + 4) * 3, ((y + 1) * width - 4) * 3, 3))
               for y in range(4, height - 4)]
        return sum(1 for y in range(len(ink)) if ink[y] and (y == 0 or not ink[y - 1]))

    def click(self, x, y, button=1, repeat=1):
        self.xdotool("mousemove", str(x), str(y), "click", "--repeat", str(repeat), "--delay", "80", str(button))


class TrayIcon:
    """Veska's icon in the panel, known by its colour (give Veska an icon of one colour)."""

    def __init__(self, display, colour):
        self.display = display
        self.colour = colour

    def find(self):
        return self.display.find_colour(self.colour, (0, 0, WIDTH, PANEL_HEIGHT + 2))

    def wait(self, timeout=TIMEOUT):
        return wait_for(self.find, "Veska's icon in the panel", timeout=timeout)

    def centre(self):
        x, y, w, h = self.wait()
        return x + w // 2, y + h // 2

    def click(self, button=1, repeat=1):
        self.display.click(*self.centre(), button=button, repeat=repeat)

    def distance(self, box):
        """How far a rectangle lies from the icon's centre (0 when it covers it)."""
        cx, cy = self.centre()
        x, y, w, h = box
        dx = max(x - cx, 0, cx - (x + w - 1))
        dy = max(y - cy, 0, cy - (y + h - 1))
        return (dx * dx + dy * dy) ** 0.5

    def open_menu(self, button, timeout=TIMEOUT):
        """Clicks until a new menu shows (a press that lands while a closing dialog or menu is still
        being torn down is lost, as it would be for a user); returns the menu's id and geometry."""
        deadline = time.monotonic() + timeout
        while True:
            before = set(self.display.popups())
            self.click(button)
            try:
                return wait_for(lambda: self._new_menu(before), "a menu after button %d" % button, timeout=5)
            except AssertionError:
                if time.monotonic() > deadline:
                    raise

    def _new_menu(self, before):
        menus = {w: g for w, g in self.display.popups().items() if w not in before}
        # The biggest: a submenu never shows before its parent.
        return max(menus.items(), key=lambda m: m[1][2] * m[1][3]) if menus else None

    def wait_no_menu(self):
        wait_for(lambda: not self.display.popups(), "the menu to close")


class XfceVeska(harness.Veska):
    """A Veska sandbox on an xfce display: starts with the icon of one colour, on its bus."""

    def start_coloured(self, colour, config, click=True):
        ico = os.path.join(self.root, "icon.ico")
        harness.write_ico(ico, colour)
        self.write_settings({"": {"Version": "0.27"}, "Style": {"Icon": ico, "Click": "1" if click else "0"}})
        self.write_config(config)
        return self.start()
