"""Veska in GNOME Shell's Wayland session (the AppIndicator extension), as a Wayland client and
through mutter's Xwayland: the icon, both buttons' menu, a launch entry, the properties dialog
and a wallpaper. See host_gnome.py for how the session runs and is clicked."""
import os
import subprocess
import unittest
import urllib.parse

import host_gnome
from harness import PROGRAM, TIMEOUT, wait_for, wallpaper_config, wallpaper_shown, write_bmp, write_ico, write_script
from host_gnome import SCREEN_SIZE, GnomeHost, distance

MAGENTA = (255, 0, 255)
DIALOG = "Veska のプロパティ"
NEAR = 150  # px between the icon and the menu it pops
COLOURS = [((0, 255, 0), (0, 0, 255)), ((255, 255, 0), (255, 0, 0))]
CLIENT_TYPES = {"wayland": 0, "xcb": 1}  # mutter's client type of the dialog's window

# The shell's menu: 印, 壁紙の変更 (a submenu), a line, the properties command, exit.
MARK, WALLPAPERS, PROPERTIES, EXIT = 1, 2, 3, 4  # presses of Down that reach each


def fills(pixel, size, colours):
    """Whether a row near the screen's bottom shows both colours of the picture and nothing but
    them and their blends. GNOME 43 drawing in software (on X11 too) shows a tile magnified, so a
    tiled picture's exact placement is not checked here."""
    (width, height), (left, right) = size, colours
    row = [pixel(x, height - 15) for x in range(0, width, 4)]
    blend = all(min(left[c], right[c]) <= p[c] <= max(left[c], right[c]) for p in row for c in range(3))
    return blend and left in row and right in row


def setUpModule():
    reason = host_gnome.missing(wayland=True)
    if reason:
        raise unittest.SkipTest(reason)
    if not os.path.exists(PROGRAM):
        raise unittest.SkipTest("build/veska is missing")


class GnomeWaylandTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.host = GnomeHost(wayland=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.host.stop()

    def setUp(self):
        self.screen = self.host.screen()

    def gsetting(self, key):
        return subprocess.run(["gsettings", "get", "org.gnome.desktop.background", key], env=self.host.display.env,
                              capture_output=True, text=True, check=True).stdout.strip()

    def start_veska(self, platform):
        veska = self.host.veska(platform)
        self.marks = os.path.join(veska.root, "marks")
        mark = os.path.join(veska.root, "apps", "mark.sh")
        write_script(mark, 'printf "%%s\\n" "$0" >> "%s"' % self.marks)
        # Outside the sandbox: a deleted picture would change the screen under the next run's clicks.
        self.walls = [os.path.join(self.host.root, "%s-wall-%d.bmp" % (platform, n)) for n in range(2)]
        for path, (left, right) in zip(self.walls, COLOURS):
            write_bmp(path, 40, 30, left, right)
        icon = os.path.join(veska.root, "magenta.ico")
        write_ico(icon, MAGENTA)
        veska.write_settings({"": {"Version": "0.27"}, "Style": {"Icon": icon}})
        veska.write_config(wallpaper_config(*self.walls, entries=[("印", mark)]))
        return veska, veska.start()

    def marked(self):
        if not os.path.exists(self.marks):
            return 0
        with open(self.marks) as f:
            return len(f.read().splitlines())

    def pop(self, icon, button, shot=None):
        """Opens the menu with a button; returns its box, checked to be at the icon, and the look
        from before."""
        box, before, after = self.host.pop(icon, button)
        centre = ((icon[0] + icon[2]) // 2, (icon[1] + icon[3]) // 2)
        self.assertLessEqual(distance(box, centre), NEAR, "menu at %s, icon at %s" % (box, centre))
        if shot:
            self.host.save(after, shot)
        return box, before

    def test_icon_menu_entries_dialog_and_wallpaper_as_wayland_client_and_through_xwayland(self):
        for platform, wall, tiled in (("wayland", 0, True), ("xcb", 1, False)):
            with self.subTest(platform=platform):
                veska, proc = self.start_veska(platform)
                try:
                    self.scenario("gnome-wayland-" + platform, platform, veska, proc, wall, tiled)
                finally:
                    veska.cleanup()
                    self.screen.keys("Escape")  # a menu a failure left open

    def scenario(self, name, platform, veska, proc, wall, tiled):
        icon = self.host.wait_icon(MAGENTA)
        self.host.save(self.host.display.shot(), name + "-icon")
        boxes = []
        for button, side in ((1, "left"), (3, "right")):
            # Each button's menu holds both the launch entries and the commands.
            box, before = self.pop(icon, button, "%s-%s" % (name, side))
            boxes.append(box)
            marks = self.marked()
            self.screen.keys(*["Down"] * MARK, "Return")
            wait_for(lambda: self.marked() == marks + 1, "the launch entry to run")
            self.host.wait_back(before)

            _, before = self.pop(icon, button)
            self.screen.keys(*["Down"] * PROPERTIES, "Return")
            self.screen.wait_focused(DIALOG)
            self.assertEqual(self.screen.window(DIALOG).get("client-type"), CLIENT_TYPES[platform])
            if button == 1:
                self.host.save(self.host.wait_still(), name + "-dialog")
            self.screen.keys("Escape")
            self.screen.wait_no_window(DIALOG)
            self.host.wait_back(before)
        self.assertEqual(boxes[0], boxes[1], "the left and the right button's menus")

        _, before = self.pop(icon, 1)
        # Right opens the submenu on its first entry, the random-wallpaper toggle; the wallpapers follow.
        self.screen.keys(*["Down"] * WALLPAPERS, "Right", *["Down"] * (wall + 1), "Return")
        # The keys change one by one: wait for both.
        want = ("'file://%s'" % urllib.parse.quote(self.walls[wall]), "'wallpaper'" if tiled else "'centered'")
        wait_for(lambda: (self.gsetting("picture-uri"), self.gsetting("picture-options")) == want,
                 "picture-uri and picture-options %s, %s" % want)
        shots = []

        def shown():
            shots[:] = [self.host.display.shot()]
            if tiled:
                return fills(shots[0].pixel, SCREEN_SIZE, COLOURS[wall])
            return wallpaper_shown(shots[0].pixel, SCREEN_SIZE, False, COLOURS[wall])
        try:
            wait_for(shown, "the wallpaper on the screen")
        finally:
            self.host.save(shots[0], name + "-wallpaper")

        self.pop(icon, 1)
        self.screen.keys(*["Down"] * EXIT, "Return")
        self.assertEqual(proc.wait(TIMEOUT), 0)
        wait_for(lambda: self.host.icon(MAGENTA) is None, "the icon to leave the top bar")
        self.assertEqual(veska.messages(), [])
        with open(proc.log_path, "rb") as f:
            self.assertEqual(f.read().decode("utf-8", "replace"), "", "Veska's standard error")


if __name__ == "__main__":
    unittest.main()
