"""End-to-end harness: Veska on a virtual X display with a real tray, driven with xdotool.

Every test gets its own copy of the program file (so its configuration file is private), its own
XDG folders (settings file, lock, recent documents) and its own temporary folder.
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

BUILD = os.environ.get("VESKA_BUILD", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
PROGRAM = os.path.abspath(os.path.join(BUILD, "veska"))
SHOTS = os.path.abspath(os.path.join(BUILD, "e2e-shots"))
TIMEOUT = float(os.environ.get("VESKA_E2E_TIMEOUT", "30"))

REG_KEY = "HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska"


def wait_for(condition, what, timeout=TIMEOUT, interval=0.05):
    """Polls condition() until it returns something truthy; fails with `what` on time-out."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(interval)


def sjis(text):
    return text.encode("cp932")


class Display:
    """One Xvfb server with trayer docked at the top right."""

    def __init__(self, number):
        self.name = ":%d" % number
        self.env = dict(os.environ, DISPLAY=self.name)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.procs = []

    def start(self):
        xvfb = subprocess.Popen(["Xvfb", self.name, "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(xvfb)
        wait_for(lambda: subprocess.run(["xdpyinfo"], env=self.env, capture_output=True).returncode == 0,
                 "Xvfb " + self.name)
        tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                 "--height", "24", "--transparent", "false", "--tint", "0xc0c0c0",
                                 "--SetDockType", "true"],
                                env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(tray)
        wait_for(lambda: self.tray_window(), "the tray")
        return self

    def stop(self):
        for p in reversed(self.procs):
            p.kill()
            p.wait()

    def xdotool(self, *args, check=True):
        r = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True)
        if check and r.returncode != 0:
            raise AssertionError("xdotool %s failed: %s" % (" ".join(args), r.stderr))
        return r.stdout.strip()

    def tray_window(self):
        return self.xdotool("search", "--classname", "panel", check=False).split()

    def windows(self, *search):
        out = self.xdotool("search", "--onlyvisible", *search, check=False)
        return [w for w in out.split() if w]

    def geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", window)
        g = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])

    def window_name(self, window):
        return self.xdotool("getwindowname", window, check=False)

    def screenshot(self, name, window="root"):
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name + ".png")
        subprocess.run(["import", "-window", window, path], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def pixel(self, x, y):
        """The root window's colour at (x, y) as an (r, g, b) tuple of 0..255."""
        out = subprocess.run(["import", "-window", "root", "-crop", "1x1+%d+%d" % (x, y), "-depth", "8",
                              "txt:-"], env=self.env, capture_output=True, text=True, check=True).stdout
        line = out.strip().splitlines()[-1]
        rgb = line.split("(", 1)[1].split(")", 1)[0].split(",")[:3]
        return tuple(int(float(v)) for v in rgb)


class Veska:
    """One sandbox: a private copy of the program, its stores and its XDG folders."""

    def __init__(self, display, root=None):
        self.display = display
        self.root = root or tempfile.mkdtemp(prefix="veska-e2e-")
        self.bin_dir = os.path.join(self.root, "bin")
        os.makedirs(self.bin_dir, exist_ok=True)
        self.program = os.path.join(self.bin_dir, "veska")
        if not os.path.exists(self.program):
            shutil.copy2(PROGRAM, self.program)
        self.config = self.program + ".INI"
        self.xdg_config = os.path.join(self.root, "config")
        self.xdg_data = os.path.join(self.root, "data")
        self.runtime = os.path.join(self.root, "runtime")
        self.tmp = os.path.join(self.root, "tmp")
        for d in (self.xdg_config, self.xdg_data, self.runtime, self.tmp):
            os.makedirs(d, exist_ok=True)
        os.chmod(self.runtime, 0o700)
        self.settings = os.path.join(self.xdg_config, "veska", "registry.reg")
        self.env = dict(display.env, XDG_CONFIG_HOME=self.xdg_config, XDG_DATA_HOME=self.xdg_data,
                        XDG_RUNTIME_DIR=self.runtime, TMPDIR=self.tmp, HOME=self.root,
                        XDG_CURRENT_DESKTOP="", LANG="C.UTF-8")
        self.procs = []

    # ---- stores -------------------------------------------------------------------------------
    def write_config(self, text):
        with open(self.config, "wb") as f:
            f.write(sjis(text.replace("\r\n", "\n").replace("\n", "\r\n")))

    def write_settings(self, keys):
        """keys: {subkey or "": {name: value}}; a value that is an int is written as dword."""
        lines = ["REGEDIT4", ""]
        for sub, values in keys.items():
            lines.append("[%s%s]" % (REG_KEY, "\\" + sub if sub else ""))
            for name, value in values.items():
                if isinstance(value, int):
                    lines.append('"%s"=dword:%08x' % (name, value))
                else:
                    lines.append('"%s"="%s"' % (name, value.replace("\\", "\\\\").replace('"', '\\"')))
            lines.append("")
        os.makedirs(os.path.dirname(self.settings), exist_ok=True)
        with open(self.settings, "wb") as f:
            f.write(sjis("\r\n".join(lines) + "\r\n"))

    def read_settings(self):
        """{key path: {name: value}} of the settings file, or {} when it is missing."""
        if not os.path.exists(self.settings):
            return {}
        text = open(self.settings, "rb").read().decode("cp932")
        keys, current = {}, None
        for line in text.splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = keys.setdefault(line[1:-1], {})
            elif current is not None and line.startswith('"') and "=" in line:
                name, value = line.split("=", 1)
                if value.startswith('"'):
                    value = value[1:-1].replace('\\"', '"').replace("\\\\", "\\")
                current[name.strip('"')] = value
        return keys

    def setting(self, sub, name):
        return self.read_settings().get(REG_KEY + ("\\" + sub if sub else ""), {}).get(name)

    def read_config(self):
        if not os.path.exists(self.config):
            return {}
        text = open(self.config, "rb").read().decode("cp932")
        sections, current = {}, None
        for line in text.splitlines():
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1], {})
            elif current is not None and "=" in line:
                k, v = line.split("=", 1)
                current[k] = v
        return sections

    # ---- the program --------------------------------------------------------------------------
    def start(self):
        p = subprocess.Popen([self.program], env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.procs.append(p)
        return p

    def stop_all(self):
        for p in self.procs:
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()

    def cleanup(self):
        self.stop_all()
        shutil.rmtree(self.root, ignore_errors=True)


class VeskaTestCase(unittest.TestCase):
    display_number = 90

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(PROGRAM):
            raise unittest.SkipTest("build/veska is missing")
        cls.display = Display(cls.display_number).start()

    @classmethod
    def tearDownClass(cls):
        cls.display.stop()

    def setUp(self):
        self.veska = Veska(self.display)

    def tearDown(self):
        self.veska.cleanup()
        # Nothing of one test may linger into the next.
        wait_for(lambda: not self.display.windows("--classname", "veska"), "Veska's windows to go")
