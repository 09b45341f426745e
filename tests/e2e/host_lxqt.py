"""LXQt as the desktop: openbox, pcmanfm-qt drawing the desktop and lxqt-panel's status notifier on
top, on host_xfce's Xvfb and private session bus."""
import configparser
import os
import signal
import subprocess

from harness import TIMEOUT, wait_for
from host_xfce import PANEL_HEIGHT, WATCHER, XfceDisplay, kill_group

PCMANFM = "org.pcmanfm.PCManFM"
PANEL_CONF = ("[General]\npanels=panel1\n[panel1]\nposition=Top\npanelSize=%d\nplugins=spacer, statusnotifier\n"
              "[spacer]\ntype=spacer\n[statusnotifier]\ntype=statusnotifier\n" % PANEL_HEIGHT)


def running(pid):
    """Whether the process is there and not a zombie."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


class LxqtDisplay(XfceDisplay):
    def start_host(self):
        self.host_env["XDG_CURRENT_DESKTOP"] = "LXQt"
        self.config = self.host_env["XDG_CONFIG_HOME"]
        os.makedirs(os.path.join(self.config, "lxqt"), exist_ok=True)
        with open(os.path.join(self.config, "lxqt", "panel.conf"), "w") as f:
            f.write(PANEL_CONF)
        # The window manager keeps the desktop below the panel, also when pcmanfm-qt starts again.
        # One that dies or never manages anything gets a fresh start rather than a failed module.
        self.desktops = []
        for attempt in range(3):
            self.desktops.append(self.spawn("openbox", "--sm-disable"))
            try:
                wait_for(lambda: "window id" in subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                                               env=self.env, capture_output=True, text=True).stdout,
                         "openbox", timeout=10)
                break
            except AssertionError:
                kill_group(self.desktops.pop())
                if attempt == 2:
                    raise
        self.start_desktop()
        self.panel = self.spawn("lxqt-panel")
        wait_for(lambda: self.has_owner(WATCHER), "the panel's status notifier on the bus")

    def spawn(self, *argv):
        return subprocess.Popen(argv, env=self.host_env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)

    def start_desktop(self):
        self.desktops.append(self.spawn("pcmanfm-qt", "--desktop", "--profile=lxqt"))
        wait_for(lambda: self.has_owner(PCMANFM), "pcmanfm-qt's desktop on the bus")

    def desktop_pid(self):
        """The pcmanfm-qt on the bus, whoever started it (Veska may have)."""
        r = subprocess.run(["dbus-send", "--session", "--print-reply=literal", "--dest=org.freedesktop.DBus",
                            "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
                            "string:" + PCMANFM], env=self.env, capture_output=True, text=True)
        return int(r.stdout.split()[-1]) if r.returncode == 0 else None

    def open_folder(self, path):
        """Opens a file manager window of the desktop's pcmanfm-qt on the folder, as a launcher
        does; the window's ids."""
        name = "^%s$" % os.path.basename(path)
        for attempt in range(3):
            launcher = self.spawn("pcmanfm-qt", "--profile=lxqt", path)
            try:
                return wait_for(lambda: self.windows("--name", name), "the file manager window", timeout=TIMEOUT / 3)
            except AssertionError:
                launcher.kill()
                launcher.wait()
                if attempt == 2:
                    raise
                # pcmanfm-qt 2.1 now and then deadlocks opening a folder: its main loop, nested in
                # the launch, waits on a worker that waits on that loop. Started afresh, as a user would.
                os.kill(self.desktop_pid(), signal.SIGKILL)
                wait_for(lambda: not self.has_owner(PCMANFM), "pcmanfm-qt to leave the bus")
                self.start_desktop()

    def restart_desktop(self):
        """Ends pcmanfm-qt as a session's end does (it saves its settings then) and starts it again."""
        pid = self.desktop_pid()
        os.kill(pid, signal.SIGTERM)
        # pcmanfm-qt 2.1 now and then hangs in GIO's volume monitor as it tears itself down: ended
        # as a session manager ends a program that hangs at its end.
        try:
            wait_for(lambda: not running(pid), "pcmanfm-qt to end", timeout=10)
        except AssertionError:
            os.kill(pid, signal.SIGKILL)
        wait_for(lambda: not self.has_owner(PCMANFM), "pcmanfm-qt to leave the bus")
        self.start_desktop()

    def wallpaper(self):
        """The wallpaper and its mode in pcmanfm-qt's settings file."""
        settings = configparser.ConfigParser(interpolation=None, strict=False)
        settings.read(os.path.join(self.config, "pcmanfm-qt", "lxqt", "settings.conf"))
        return tuple(settings.get("Desktop", key, fallback=None) for key in ("Wallpaper", "WallpaperMode"))

    def stop(self):
        pid = self.bus and self.desktop_pid()
        if pid:
            os.kill(pid, signal.SIGKILL)
        for p in getattr(self, "desktops", []):
            kill_group(p)
        super().stop()
