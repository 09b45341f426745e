"""The wallpaper on LXQt: chosen in Veska's menu, shown on pcmanfm-qt's desktop and kept in its
settings, also after pcmanfm-qt restarts."""
import os
import shutil
import unittest

import harness
from harness import wait_for, wallpaper_config, wallpaper_shown, write_bmp
from host_lxqt import LxqtDisplay
from host_xfce import HEIGHT, WIDTH, TrayIcon, XfceVeska

RED = (255, 0, 0)
COLOURS = [((0, 255, 0), (0, 0, 255)), ((255, 255, 0), (255, 0, 255))]


class LxqtWallpaperTest(unittest.TestCase):

    def setUp(self):
        missing = [t for t in ("lxqt-panel", "pcmanfm-qt", "openbox", harness.PROGRAM) if not shutil.which(t)]
        if missing:
            raise unittest.SkipTest("missing: " + ", ".join(missing))
        self.display = LxqtDisplay().start()
        self.addCleanup(self.display.stop)

    def shown(self, tiled, colours):
        data = self.display.grab("root")
        return wallpaper_shown(lambda x, y: tuple(data[(y * WIDTH + x) * 3:][:3]), (WIDTH, HEIGHT), tiled, colours)

    def test_a_wallpaper_chosen_in_the_submenu_shows_and_stays_after_pcmanfm_qt_restarts(self):
        veska = XfceVeska(self.display)
        self.addCleanup(veska.cleanup)
        veska.env["XDG_CURRENT_DESKTOP"] = "LXQt"
        walls = [os.path.join(veska.root, "wall %d.bmp" % n) for n in range(2)]
        for path, (left, right) in zip(walls, COLOURS):
            write_bmp(path, 40, 30, left, right)
        proc = veska.start_coloured(RED, wallpaper_config(*walls))
        icon, screen = TrayIcon(self.display, RED), harness.Screen(self.display)
        for n, (mode, tiled) in enumerate((("tile", True), ("center", False))):
            icon.open_menu(1)
            screen.keys("Down", "Right")
            # Keys sent before the submenu is up would go to the menu under it.
            wait_for(lambda: len(self.display.popups()) >= 2, "the wallpaper submenu")
            screen.keys(*["Down"] * (n + 1), "Return")  # the submenu's n-th wallpaper
            wait_for(lambda: self.display.wallpaper() == (walls[n], mode), "pcmanfm-qt's settings: " + mode)
            wait_for(lambda: self.shown(tiled, COLOURS[n]), "the desktop showing the wallpaper: " + mode)
            self.display.screenshot("lxqt-wallpaper-" + mode)
        self.display.restart_desktop()
        self.assertEqual(self.display.wallpaper(), (walls[1], "center"))
        wait_for(lambda: self.shown(False, COLOURS[1]), "the centred wallpaper after pcmanfm-qt restarts")
        self.display.screenshot("lxqt-wallpaper-restarted")
        self.assertEqual(veska.messages(proc), [])
