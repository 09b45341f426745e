"""GNOME Shell with the AppIndicator extension as Veska's tray host, headless.

The shell runs as an X11 compositor on its own Xvfb, or as a headless Wayland compositor that
starts Xwayland itself, with its own session bus, a second bus standing in for the system bus
and its own dconf database. Its menus are drawn by the shell itself, not as windows, so the
icon and the menus are found in screenshots: the icon by a colour of its own, a menu as the box
of pixels that changed when it opened. On Wayland, input, screenshots and the window list go
through the shell's own D-Bus services (gnome_portal.py).
"""
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

from harness import SHOTS, TIMEOUT, Display, Screen, Veska, wait_for

EXTENSION = "ubuntu-appindicators@ubuntu.com"
EXTENSIONS = "/usr/share/gnome-shell/extensions"
WATCHER = "org.kde.StatusNotifierWatcher"
SCREEN_SIZE = (1024, 768)


def missing(wayland=False):
    """Why this host cannot run here, or None. On Wayland only the shell itself may be missing:
    a missing helper there is a fault of the set-up, to fail on."""
    for tool in ("gnome-shell",) if wayland else (
            "gnome-shell", "dbus-daemon", "gsettings", "gdbus", "Xvfb", "xdotool", "import"):
        if not shutil.which(tool):
            return tool + " is missing"
    if not os.path.isfile(os.path.join(EXTENSIONS, EXTENSION, "metadata.json")):
        return "the AppIndicator extension (%s) is missing" % EXTENSION
    return None


class Image:
    """A screenshot's raw RGB pixels."""

    def __init__(self, data, width, height):
        self.data, self.width, self.height = data, width, height

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def row(self, y):
        return self.data[y * self.width * 3:(y + 1) * self.width * 3]

    def find(self, rgb, top=0, bottom=None, tolerance=40):
        """The bounding box (x0, y0, x1, y1), ends included, of the pixels near this colour (the
        shell draws panel icons slightly dimmed)."""
        box = None
        for y in range(top, self.height if bottom is None else bottom):
            row = self.row(y)
            xs = [i // 3 for i in range(0, len(row), 3)
                  if all(abs(row[i + c] - rgb[c]) <= tolerance for c in range(3))]
            if xs:
                box = (xs[0], y, xs[-1], y) if box is None else \
                    (min(box[0], xs[0]), box[1], max(box[2], xs[-1]), y)
        return box

    def changed(self, other, top=0):
        """The bounding box of the pixels that differ from `other` at or below row `top`, or None."""
        box = None
        for y in range(top, self.height):
            a, b = self.row(y), other.row(y)
            if a == b:
                continue
            first = next(i for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3]) // 3
            last = next(i for i in range(len(a) - 3, -1, -3) if a[i:i + 3] != b[i:i + 3]) // 3
            box = (first, y, last, y) if box is None else (min(box[0], first), box[1], max(box[2], last), y)
        return box


def distance(box, point):
    """How far a point lies outside a box (0 inside)."""
    x0, y0, x1, y1 = box
    x, y = point
    dx = max(x0 - x, 0, x - x1)
    dy = max(y0 - y, 0, y - y1)
    return (dx * dx + dy * dy) ** 0.5


class GnomeDisplay(Display):
    """An Xvfb with GLX for the shell's compositor; no tray of its own."""

    def start(self):
        self.start_xvfb(*SCREEN_SIZE, extra=("+extension", "GLX"))
        return self

    def shot(self):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env,
                              capture_output=True, check=True).stdout
        return Image(data, *SCREEN_SIZE)


KEYSYMS = {"Escape": 0xff1b, "Return": 0xff0d, "Left": 0xff51, "Up": 0xff52, "Right": 0xff53, "Down": 0xff54}
BUTTONS = {1: 0x110, 2: 0x112, 3: 0x111}  # evdev's BTN_LEFT, BTN_MIDDLE, BTN_RIGHT


def gi_python():
    """A python3 that has gi (python3-gi), for gnome_portal.py: this one, or the system's."""
    for python in (sys.executable, "/usr/bin/python3"):
        if subprocess.run([python, "-c", "import gi"], capture_output=True).returncode == 0:
            return python
    raise AssertionError("no python3 with gi (python3-gi) for the shell's D-Bus services")


class Portal:
    """gnome_portal.py in its own process: one request, one answer."""

    def __init__(self, env, log_path):
        with open(log_path, "wb") as log:
            self.proc = subprocess.Popen([gi_python(), os.path.join(os.path.dirname(__file__), "gnome_portal.py")],
                                         env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=log,
                                         text=True, start_new_session=True)
        self.log_path = log_path
        self._answer()

    def _answer(self):
        line = self.proc.stdout.readline()
        if not line:
            with open(self.log_path) as f:
                raise AssertionError("gnome_portal.py ended: " + f.read()[-2000:])
        return json.loads(line)

    def __call__(self, *request):
        self.proc.stdin.write(json.dumps(request) + "\n")
        self.proc.stdin.flush()
        answer = self._answer()
        if "error" in answer:
            raise AssertionError("%s: %s" % (request[0], answer["error"]))
        return answer["ok"]


class GnomeWaylandDisplay:
    """What the shell's Wayland session shows and takes, once attach() has found its sockets."""

    def __init__(self, root):
        self.root = root
        self.portal = None
        self.env = None

    def start(self):
        self.open_x11_unix()
        self.env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY"):
            self.env.pop(name, None)
        return self

    @staticmethod
    def open_x11_unix():
        """mutter starts Xwayland only with /tmp/.X11-unix open to all and sticky, as a booted
        system makes it; an X server started by root in a bare root leaves it 1755."""
        path = "/tmp/.X11-unix"
        os.makedirs(path, exist_ok=True)
        if os.stat(path).st_mode & 0o7777 != 0o1777 and os.geteuid() == 0:
            os.chmod(path, 0o1777)

    def attach(self, shell):
        """Points the session's clients at the shell's sockets and opens the portal. Its remote
        desktop session shows an indicator in the top bar that shifts the icons: it is opened
        before any icon is looked for."""
        runtime = self.env["XDG_RUNTIME_DIR"]

        def xwayland():  # mutter names its display in the log; the auth file is its own
            with open(shell.log_path, "rb") as f:
                found = re.search(rb"Using public X11 display (:\d+)", f.read())
            auth = [n for n in os.listdir(runtime) if n.startswith(".mutter-Xwaylandauth")]
            return found and auth and (found.group(1).decode(), os.path.join(runtime, auth[0]))
        self.env["WAYLAND_DISPLAY"] = wait_for(
            lambda: os.path.exists(os.path.join(runtime, "wayland-0")) and os.path.join(runtime, "wayland-0"),
            "the shell's Wayland socket", timeout=TIMEOUT * 2)
        self.env["DISPLAY"], self.env["XAUTHORITY"] = wait_for(xwayland, "mutter's Xwayland", timeout=TIMEOUT * 2)
        self.portal = Portal(self.env, os.path.join(self.root, "portal.log"))

    def stop(self):
        if self.portal:
            self.portal.proc.stdin.close()
            GnomeHost._end(self.portal.proc)
            self.portal = None

    def shot(self):
        path = os.path.join(self.root, "shot.png")
        if not self.portal("shot", path):
            raise AssertionError("the shell took no screenshot")
        data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
        return Image(data, *SCREEN_SIZE)

    def point(self, x, y):
        """Moves the pointer to (x, y) from the bottom right corner: the motion is relative, and a
        jump that overshoots stops at the screen's edge."""
        width, height = SCREEN_SIZE
        self.portal("motion", width * 2, height * 2)
        self.portal("motion", x - (width - 1), y - (height - 1))

    def click(self, button, repeat=1):
        for _ in range(repeat):
            self.portal("button", BUTTONS[button], True)
            self.portal("button", BUTTONS[button], False)

    def keys(self, *names):
        for name in names:
            self.portal("keysym", KEYSYMS[name], True)
            self.portal("keysym", KEYSYMS[name], False)

    def windows(self):
        return self.portal("windows")


class WaylandScreen:
    """Veska's windows as the shell lists them, and keys to whatever has the focus: the harness's
    Screen steps the Wayland session can take."""

    def __init__(self, display):
        self.display = display

    def window(self, title):
        return next((w for w in self.display.windows() if w.get("title") == title), None)

    def wait_window(self, title):
        return wait_for(lambda: self.window(title), "the window " + title)

    def wait_no_window(self, title):
        wait_for(lambda: self.window(title) is None, "the window %s to close" % title)

    def wait_focused(self, title):
        return wait_for(lambda: (self.window(title) or {}).get("has-focus"), "the window %s to have the focus" % title)

    def keys(self, *names):
        self.display.keys(*names)


class GnomeHost:
    """The shell on its own display and buses; start(), stop(), restart_shell(), veska(). The
    Wayland session's shell cannot be replaced: it is started once."""

    def __init__(self, wayland=False):
        self.root = tempfile.mkdtemp(prefix="veska-gnome-")
        self.wayland = wayland
        self.display = GnomeWaylandDisplay(self.root) if wayland else GnomeDisplay()
        self.groups = []      # buses: killed with everything they activated (dconf-service, ...)
        self.shells = []
        self.panel_bottom = None

    # ---- the session ---------------------------------------------------------------------------
    def start(self, shell=True):
        try:
            self.display.start()
            dirs = {name: os.path.join(self.root, name) for name in ("config", "data", "cache", "runtime")}
            for d in dirs.values():
                os.makedirs(d, exist_ok=True)
            os.chmod(dirs["runtime"], 0o700)
            env = self.display.env
            env.update(XDG_CONFIG_HOME=dirs["config"], XDG_DATA_HOME=dirs["data"], XDG_CACHE_HOME=dirs["cache"],
                       XDG_RUNTIME_DIR=dirs["runtime"], HOME=self.root, GSETTINGS_BACKEND="dconf",
                       LIBGL_ALWAYS_SOFTWARE="1", XDG_CURRENT_DESKTOP="GNOME",
                       XDG_SESSION_TYPE="wayland" if self.wayland else "x11",
                       NO_AT_BRIDGE="1", LANG="C.UTF-8")
            for name in ("XDG_SESSION_ID", "XDG_SEAT", "DESKTOP_SESSION", "GNOME_SETUP_DISPLAY"):
                env.pop(name, None)
            env["DBUS_SESSION_BUS_ADDRESS"] = self._bus()
            env["DBUS_SYSTEM_BUS_ADDRESS"] = self._bus()
            for schema, key, value in (
                    ("org.gnome.shell", "enabled-extensions", "['%s']" % EXTENSION),
                    ("org.gnome.shell", "welcome-dialog-last-shown-version", "'999'"),
                    ("org.gnome.desktop.interface", "enable-animations", "false"),
                    ("org.gnome.desktop.interface", "toolkit-accessibility", "false"),
                    ("org.gnome.desktop.screensaver", "lock-enabled", "false"),
                    ("org.gnome.desktop.lockdown", "disable-lock-screen", "true"),
                    ("org.gnome.desktop.session", "idle-delay", "uint32 0"),
                    ("org.gnome.desktop.notifications", "show-banners", "false")):
                subprocess.run(["gsettings", "set", schema, key, value], env=env, check=True)
            if shell:
                self.start_shell()
            return self
        except BaseException:
            self.stop()
            raise

    def _bus(self):
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env=self.display.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
        self.groups.append(bus)
        address = bus.stdout.readline().decode().strip()
        if not address:
            raise AssertionError("dbus-daemon did not start")
        return address

    def stop(self):
        if self.wayland:
            self.display.stop()
        for p in reversed(self.shells + self.groups):
            self._end(p)
        if not self.wayland:
            self.display.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    @staticmethod
    def _end(proc):
        """Ends a process with its process group, so that what a bus activated (dconf-service, ...)
        or the shell spawned goes too."""
        try:
            os.killpg(proc.pid, signal.SIGTERM)
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                pass
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()
        if proc.stdout:
            proc.stdout.close()

    # ---- the shell -----------------------------------------------------------------------------
    def start_shell(self):
        """Starts (or, with one running, replaces) the shell and waits for its panel and watcher."""
        old_owner = self.name_owner(WATCHER)
        log = open(os.path.join(self.root, "shell-%d.log" % len(self.shells)), "wb")
        argv = ["--wayland", "--headless", "--virtual-monitor", "%dx%d" % SCREEN_SIZE, "--wayland-display",
                "wayland-0"] if self.wayland else ["--x11", "--replace"]
        shell = subprocess.Popen(["gnome-shell", *argv], env=self.display.env,
                                 stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        shell.log_path = log.name
        log.close()
        self.shells.append(shell)
        wait_for(lambda: shell.poll() is None and self.name_owner(WATCHER) not in (None, old_owner),
                 "the shell's StatusNotifierWatcher", timeout=TIMEOUT * 2)
        for old in self.shells[:-1]:
            if old.poll() is None:
                wait_for(lambda: old.poll() is not None, "the replaced shell to end")
        if self.wayland:
            self.display.attach(shell)
        self.leave_overview(shell)
        return shell

    def restart_shell(self):
        return self.start_shell()

    def stop_shell(self):
        for p in self.shells:
            self._end(p)
        wait_for(lambda: self.name_owner(WATCHER) is None, "the watcher to leave the bus")

    def gdbus(self, *args):
        return subprocess.run(["gdbus", "call", "--session", *args], env=self.display.env,
                              capture_output=True, text=True)

    def name_owner(self, name):
        r = self.gdbus("--dest", "org.freedesktop.DBus", "--object-path", "/org/freedesktop/DBus",
                       "--method", "org.freedesktop.DBus.GetNameOwner", name)
        return r.stdout.strip() if r.returncode == 0 else None

    def overview_active(self):
        r = self.gdbus("--dest", "org.gnome.Shell", "--object-path", "/org/gnome/Shell", "--method",
                       "org.freedesktop.DBus.Properties.Get", "org.gnome.Shell", "OverviewActive")
        return "true" in r.stdout if r.returncode == 0 else None

    def leave_overview(self, shell):
        """The shell ends its start on the overview, which hides the icons: leave it once the
        start is over (its log says so), for the plain top bar."""
        def started():
            with open(shell.log_path, "rb") as f:
                return b"GNOME Shell started at" in f.read()
        wait_for(started, "the shell's start")

        def left():
            if self.overview_active() is False:
                return True
            self.gdbus("--dest", "org.gnome.Shell", "--object-path", "/org/gnome/Shell", "--method",
                       "org.freedesktop.DBus.Properties.Set", "org.gnome.Shell", "OverviewActive", "<false>")
            return False
        wait_for(left, "the shell to leave the overview", interval=0.2)

        def panel():  # the rows at the top of its corner's colour, over a desktop of another
            image = self.display.shot()
            corner = image.pixel(0, 0)
            bottom = next((y for y in range(image.height) if image.pixel(0, y) != corner), None)
            return bottom if bottom and bottom < 100 and self.overview_active() is False else None
        self.panel_bottom = wait_for(panel, "the top bar")

    # ---- Veska ---------------------------------------------------------------------------------
    def veska(self, platform=None):
        """A harness sandbox whose program runs in this session, as GNOME's own programs do; on
        Wayland with Qt's platform "wayland" (a Wayland client) or "xcb" (through Xwayland)."""
        veska = Veska(self.display)
        veska.env["XDG_CURRENT_DESKTOP"] = "GNOME"
        if platform:
            veska.env["QT_QPA_PLATFORM"] = platform
        return veska

    def screen(self):
        return WaylandScreen(self.display) if self.wayland else Screen(self.display)

    # ---- the icon and the menus ----------------------------------------------------------------
    def icon(self, rgb):
        """The box of Veska's icon in the top bar, found by its colour, or None."""
        return self.display.shot().find(rgb, 0, self.panel_bottom)

    def wait_icon(self, rgb, timeout=TIMEOUT):
        try:
            return wait_for(lambda: self.icon(rgb), "the icon in the top bar", timeout=timeout, interval=0.2)
        except AssertionError:
            self.save(self.display.shot(), "gnome-failed-no-icon")
            r = self.gdbus("--dest", WATCHER, "--object-path", "/StatusNotifierWatcher", "--method",
                           "org.freedesktop.DBus.Properties.Get", WATCHER, "RegisteredStatusNotifierItems")
            with open(self.shells[-1].log_path, "rb") as f:
                log = f.read().decode("utf-8", "replace")
            raise AssertionError("no icon; the watcher holds %s; the shell's log ends:\n%s"
                                 % ((r.stdout + r.stderr).strip(), log[-3000:]))

    def wait_still(self, unlike=None, top=0, timeout=TIMEOUT):
        """A screenshot once two in a row agree (and differ from `unlike` below `top`)."""
        seen = [None]

        def still():
            now = self.display.shot()
            same = seen[0] is not None and now.data == seen[0].data
            seen[0] = now
            return same and (unlike is None or now.changed(unlike, top) is not None)
        try:
            wait_for(still, "the screen to settle" + (" on something new" if unlike else ""),
                     timeout=timeout, interval=0.1)
        except AssertionError:
            self.save(seen[0], "gnome-failed-no-change" if unlike else "gnome-failed-unsettled")
            raise
        return seen[0]

    def click(self, icon, button, repeat=1):
        """Clicks the icon's box; returns the look before, with the pointer already on the icon."""
        x0, y0, x1, y1 = icon
        if self.wayland:
            self.display.point((x0 + x1) // 2, (y0 + y1) // 2)
            before = self.wait_still()
            self.display.click(button, repeat)
            return before
        self.display.xdotool("mousemove", "--sync", str((x0 + x1) // 2), str((y0 + y1) // 2))
        before = self.wait_still()
        self.display.xdotool("click", "--repeat", str(repeat), "--delay", "80", str(button))
        return before

    def pop(self, icon, button, repeat=1, timeout=TIMEOUT):
        """Clicks the icon; returns (the box of what opened below the top bar, look before, after)."""
        before = self.click(icon, button, repeat)
        after = self.wait_still(before, self.panel_bottom, timeout)
        return after.changed(before, self.panel_bottom), before, after

    def wait_back(self, before):
        """Waits until the screen below the top bar looks as it did before a menu opened."""
        wait_for(lambda: self.display.shot().changed(before, self.panel_bottom) is None,
                 "the menu to close", interval=0.2)

    def save(self, image, name):
        """Saves a screenshot (raw pixels) as a PNG in the harness's folder."""
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name + ".png")
        subprocess.run(["convert", "-size", "%dx%d" % (image.width, image.height), "-depth", "8", "rgb:-", path],
                       input=image.data, check=True)
        return path
