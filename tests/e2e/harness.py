"""End-to-end harness: Veska on a virtual X display with a real tray, driven with xdotool.

Every test gets its own copy of the program file (so its configuration file is private), its own
XDG folders (settings file, lock, recent documents) and its own temporary folder.
"""
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = os.environ.get("VESKA_BUILD", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
PROGRAM = os.path.abspath(os.path.join(BUILD, "veska"))
SHOTS = os.path.abspath(os.path.join(BUILD, "e2e-shots"))
TIMEOUT = float(os.environ.get("VESKA_E2E_TIMEOUT", "30"))

REG_KEY = "HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska"
SKIPPED = 77  # ctest's SKIP_RETURN_CODE for these tests


def main(module):
    """Runs a test module for ctest: a run that skipped anything ends with SKIPPED, so that the
    summary shows it skipped instead of passed."""
    result = unittest.main(module=module, exit=False, verbosity=2).result
    sys.exit(1 if not result.wasSuccessful() else SKIPPED if result.skipped else 0)


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


def write_bmp(path, width, height, rgb, right=None):
    """A 24-bit bitmap of one colour, or of two: its right half in the other."""
    row = bytes((rgb[2], rgb[1], rgb[0])) * (width - width // 2 if right else width)
    row += bytes((right[2], right[1], right[0])) * (width // 2) if right else b""
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def wallpaper_shown(pixel, size, tiled, colours):
    """Whether the screen, pixel(x, y) giving its colours, shows a picture of write_bmp(path, 40, 30,
    *colours) tiled from its top left corner, or centred on something else."""
    (width, height), (left, right) = size, colours
    if tiled:
        return [pixel(x, height - 15) for x in (5, 25, 45)] == [left, right, left]
    centre = [pixel(width // 2 + dx, height // 2) for dx in (-10, 10)]
    return centre == [left, right] and pixel(5, height - 15) not in colours


def wallpaper_config(tiled, centred, entries=()):
    """A launch menu of these (caption, program) entries (see launch_config) and the wallpaper
    submenu after them, with a tiled and a centred wallpaper."""
    entries = [(c, p, "Null") for c, p in entries] + [("壁紙の変更", "PersonalApplication", "P1")]
    keys = {"MenuCaption": [c for c, _, _ in entries], "MenuName": [n for _, _, n in entries],
            "MenuPath": [p for _, p, _ in entries], "MenuSound": ["(なし)"] * len(entries)}
    return ("[ItemCount]\nItemNumber=%d\nWallNumber=2\n" % len(entries) + "".join(
        "[%s]\n" % k + "".join("Item%d=%s\n" % (n, v) for n, v in enumerate(vs)) for k, vs in keys.items()) +
        "[WallCaption]\nItem0=タイル\nItem1=中央\n[WallPath]\nItem0=%s\nItem1=%s\n[WallStyle]\nItem0=0\nItem1=1\n"
        % (tiled, centred))


def launch_config(entries):
    """A launch menu of these (caption, program) entries, each without a sound."""
    keys = {"MenuCaption": [c for c, _ in entries], "MenuName": ["Null"] * len(entries),
            "MenuPath": [p for _, p in entries], "MenuSound": ["(なし)"] * len(entries)}
    return "[ItemCount]\nItemNumber=%d\n" % len(entries) + "".join(
        "[%s]\n" % k + "".join("Item%d=%s\n" % (n, v) for n, v in enumerate(vs)) for k, vs in keys.items())


def delete_first_entry(screen, dialog):
    """In the properties dialog: deletes the launch menu's first entry (削除(D), OK in the 確認 box)
    and closes the dialog with OK. screen: a Screen, or a host's stand-in with its methods."""
    screen.click_in(dialog, 62, 65)  # the first row
    screen.click_in(dialog, 421, 96)  # "削除(D)"
    screen.focus_keys(screen.wait_window("確認"), "Return")
    screen.wait_no_window("確認")
    screen.click_in(dialog, 294, 418)  # OK
    screen.wait_no_window("Veska のプロパティ")


def write_ico(path, rgb, side=16):
    """A one-image 32-bit icon of one opaque colour."""
    pixels = bytes((rgb[2], rgb[1], rgb[0], 255)) * (side * side)
    mask = b"\0" * ((side + 31) // 32 * 4 * side)
    info = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = info + pixels + mask
    entry = struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), 22)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1) + entry + image)


def write_script(path, body):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + body + "\n")
    os.chmod(path, 0o755)


def sjis(text):
    return text.encode("cp932")


class Display:
    """One Xvfb server with trayer docked at the top right."""

    def __init__(self):
        self.name = None
        self.env = None
        self.procs = []

    def start(self, width=800, height=600):
        self.start_xvfb(width, height)
        return self.start_tray()

    def start_tray(self):
        # A trayer that dies or never maps its panel gets a fresh start rather than failing the module.
        for attempt in range(3):
            tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                     "--height", "24", "--transparent", "false", "--tint", "0xc0c0c0",
                                     "--SetDockType", "true"],
                                    env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                wait_for(lambda: self.tray_window(), "the tray", timeout=10)
                self.procs.append(tray)
                break
            except AssertionError:
                tray.kill()
                tray.wait()
                if attempt == 2:
                    raise
        return self

    def start_xvfb(self, width=800, height=600, extra=()):
        # Xvfb picks a free display number itself and tells it through a pipe. -noreset: by default
        # the server resets whenever its last client leaves, and a client connecting meanwhile
        # (trayer, after xdpyinfo or a polling xdotool) is refused: "cannot open display".
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), *extra, "-screen", "0",
                                 "%dx%dx24" % (width, height), "-nolisten", "tcp", "-noreset"], pass_fds=(write_fd,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        self.procs.append(xvfb)
        number = b""
        with os.fdopen(read_fd, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise AssertionError("Xvfb did not start")
                number += chunk
        self.name = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.name)
        self.env.pop("WAYLAND_DISPLAY", None)
        wait_for(lambda: subprocess.run(["xdpyinfo"], env=self.env, capture_output=True).returncode == 0,
                 "Xvfb " + self.name)

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

    def grab(self, window):
        """A window's pixels as raw 8-bit RGB bytes, for comparing two looks of it."""
        return subprocess.run(["import", "-window", window, "-depth", "8", "rgb:-"], env=self.env,
                              capture_output=True, check=True).stdout


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
        """Starts the program; its standard error goes to a file of its own (see messages())."""
        log = open(os.path.join(self.root, "stderr-%d.log" % len(self.procs)), "wb")
        p = subprocess.Popen([self.program], env=self.env, cwd=self.root, stdout=subprocess.DEVNULL, stderr=log)
        p.log_path = log.name
        log.close()
        self.procs.append(p)
        return p

    def messages(self, proc=None):
        """The message boxes a run has shown, as (caption, text) pairs, from its standard error."""
        procs = [proc] if proc else self.procs
        out = []
        for p in procs:
            with open(p.log_path, "rb") as f:
                for line in f.read().decode("utf-8", "replace").splitlines():
                    if line.startswith("veska: "):
                        caption, _, text = line[len("veska: "):].partition(": ")
                        out.append((caption, text))
        return out

    def wait_message(self, text, proc=None):
        return wait_for(lambda: any(t == text for _, t in self.messages(proc)), "the message " + text)

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


class Screen:
    """What Veska shows on a display: the tray icon, menus, dialogs and message boxes."""

    def __init__(self, display):
        self.display = display

    def veska_windows(self):
        """Visible top-level windows of Veska's class, as (id, name, x, y, w, h)."""
        out = []
        for w in self.display.windows("--classname", "veska"):
            try:
                x, y, width, height = self.display.geometry(w)
            except AssertionError:
                continue  # gone meanwhile
            out.append((w, self.display.window_name(w), x, y, width, height))
        return out

    def tray_icon(self):
        """The docked icon: Veska's small window inside the tray."""
        for w, name, x, y, width, height in self.veska_windows():
            if width <= 32 and height <= 32 and y < 24:
                return w, x, y, width, height
        return None

    def wait_icon(self):
        return wait_for(self.tray_icon, "the tray icon")

    def click_icon(self, button):
        _, x, y, width, height = self.wait_icon()
        self.display.xdotool("mousemove", str(x + width // 2), str(y + height // 2), "click", str(button))

    def is_popup(self, window):
        """Menus are override-redirect windows; dialogs and message boxes are not."""
        out = subprocess.run(["xwininfo", "-id", window], env=self.display.env,
                             capture_output=True, text=True).stdout
        return "Override Redirect State: yes" in out

    def menu(self):
        """An open popup menu of Veska's."""
        for w, name, x, y, width, height in self.veska_windows():
            if width > 32 and self.is_popup(w):
                return w, x, y, width, height
        return None

    def wait_menu(self):
        return wait_for(self.menu, "a popup menu")

    def open_menu(self, button):
        """Clicks the icon until its menu shows: a press that lands while a closing dialog is
        still being torn down is lost, as it would be for a user."""
        deadline = time.monotonic() + TIMEOUT
        while True:
            self.click_icon(button)
            try:
                return wait_for(self.menu, "a popup menu", timeout=2)
            except AssertionError:
                if time.monotonic() > deadline:
                    raise

    def wait_no_menu(self):
        wait_for(lambda: self.menu() is None, "the menu to close")

    def window(self, title):
        """A window of Veska's with this title that is neither the icon nor a menu."""
        for w, name, x, y, width, height in self.veska_windows():
            if name == title and width > 32 and not self.is_popup(w):
                return w
        return None

    def wait_window(self, title):
        return wait_for(lambda: self.window(title), "the window " + title)

    def wait_no_window(self, title):
        wait_for(lambda: self.window(title) is None, "the window %s to close" % title)

    def keys(self, *keys):
        """Keys through XTest, to whatever holds the keyboard (an open menu grabs it)."""
        for k in keys:
            self.display.xdotool("key", k)

    def focus_keys(self, window, *keys):
        self.display.xdotool("windowfocus", "--sync", window)
        self.keys(*keys)

    def type_into(self, window, text):
        self.display.xdotool("windowfocus", "--sync", window)
        self.display.xdotool("type", "--delay", "10", text)

    def click_in(self, window, x, y):
        """Clicks the left button at (x, y) inside a window."""
        # Relative to the window itself: a frame's offsets differ between window managers.
        self.display.xdotool("mousemove", "--window", window, str(x), str(y), "click", "1")

    def choose(self, downs):
        """Chooses the item reached with `downs` presses of Down in the open menu."""
        self.wait_menu()
        self.keys(*(["Down"] * downs), "Return")
        self.wait_no_menu()

    def pop_and_choose(self, button, downs):
        self.open_menu(button)
        self.choose(downs)


class VeskaTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(PROGRAM):
            raise unittest.SkipTest("build/veska is missing")
        cls.display = Display().start()

    @classmethod
    def tearDownClass(cls):
        cls.display.stop()

    def setUp(self):
        self.veska = Veska(self.display)
        self.screen = Screen(self.display)

    def tearDown(self):
        self.veska.cleanup()
        # Nothing of one test may linger into the next.
        wait_for(lambda: not self.display.windows("--classname", "veska"), "Veska's windows to go")

    # ---- common steps --------------------------------------------------------------------------
    def mark_program(self, path):
        """A program that appends its own path to self.marks when it runs."""
        self.marks = os.path.join(self.veska.root, "marks")
        write_script(path, 'printf "%%s\\n" "$0" >> "%s"' % self.marks)
        return path

    def marked(self):
        """The paths of the mark programs that ran, in order."""
        return open(self.marks).read().splitlines() if os.path.exists(self.marks) else []

    ONE_ENTRY = ("[ItemCount]\nItemNumber=1\n[MenuCaption]\nItem0=true\n[MenuName]\nItem0=Null\n"
                 "[MenuPath]\nItem0=/bin/true\n[MenuSound]\nItem0=(なし)\n")

    def start_current(self, config=ONE_ENTRY, extra=None):
        """Starts on stores that take the plain path (current version), without the dialog."""
        settings = {"": {"Version": "0.27"}}
        for k, v in (extra or {}).items():
            settings.setdefault(k, {}).update(v)
        self.veska.write_settings(settings)
        if config is not None:
            self.veska.write_config(config)
        proc = self.veska.start()
        self.screen.wait_icon()
        return proc

    def close_dialog(self, title):
        w = self.screen.wait_window(title)
        self.screen.focus_keys(w, "Escape")
        self.screen.wait_no_window(title)

    def exit_veska(self, proc):
        """The exit command: the command menu's second item."""
        self.screen.pop_and_choose(3 if self.right_is_command else 1, 2)
        self.assertEqual(proc.wait(TIMEOUT), 0)
        wait_for(lambda: self.screen.tray_icon() is None, "the icon to leave the tray")

    right_is_command = True
