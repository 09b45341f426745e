"""The wallpaper on LXQt: chosen in Veska's menu, shown on pcmanfm-qt's desktop and kept in its
settings, also after pcmanfm-qt restarts."""
import os
import shutil
import time
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

    def choose(self, screen, icon, n):
        icon.open_menu(1)
        screen.keys("Down", "Right")
        # Keys sent before the submenu is up would go to the menu under it.
        wait_for(lambda: len(self.display.popups()) >= 2, "the wallpaper submenu")
        screen.keys(*["Down"] * (n + 1), "Return")  # the submenu's n-th wallpaper

    def test_a_wallpaper_shows_at_once_leaves_file_manager_windows_open_and_stays_after_pcmanfm_qt_restarts(self):
        veska = XfceVeska(self.display)
        self.addCleanup(veska.cleanup)
        veska.env["XDG_CURRENT_DESKTOP"] = "LXQt"
        walls = [os.path.join(veska.root, "wall %d.bmp" % n) for n in range(2)]
        for path, (left, right) in zip(walls, COLOURS):
            write_bmp(path, 40, 30, left, right)
        proc = veska.start_coloured(RED, wallpaper_config(*walls))
        icon, screen = TrayIcon(self.display, RED), harness.Screen(self.display)

        # A settings file that is a link stays one.
        settings = os.path.join(self.display.config, "pcmanfm-qt", "lxqt", "settings.conf")
        os.makedirs(os.path.dirname(settings), exist_ok=True)
        with open(settings + ".real", "w") as f:
            f.write("[Desktop]\n")
        os.symlink("settings.conf.real", settings)

        # Tiled, with a file manager window of the desktop's pcmanfm-qt open: it stays open.
        os.makedirs(os.path.join(veska.root, "open-here"))
        files = self.display.open_folder(os.path.join(veska.root, "open-here"))
        pid = self.display.desktop_pid()
        self.choose(screen, icon, 0)
        wait_for(lambda: self.shown(True, COLOURS[0]), "the desktop showing the wallpaper: tile")
        self.display.screenshot("lxqt-wallpaper-tile")
        kept_at_once = self.display.wallpaper() == (walls[0], "tile")  # pcmanfm-qt 1.4 and later
        time.sleep(3)  # the scene itself: nothing may close meanwhile
        self.assertEqual(self.display.windows("--name", "^open-here$"), files)
        self.assertEqual(self.display.desktop_pid(), pid)
        # Once it closes, 1.2.1 is started again to keep the mode; a later one never is.
        self.display.xdotool("windowactivate", "--sync", files[0], "key", "ctrl+w")
        wait_for(lambda: not self.display.windows("--name", "^open-here$"), "the file manager window to close")
        wait_for(lambda: self.display.wallpaper() == (walls[0], "tile"), "pcmanfm-qt's settings: tile")
        if kept_at_once:
            time.sleep(3)
            self.assertEqual(self.display.desktop_pid(), pid)
        wait_for(lambda: self.display.desktop_pid() and self.shown(True, COLOURS[0]), "the desktop back, tiled")

        # Centred, with nothing but the desktop open.
        self.choose(screen, icon, 1)
        wait_for(lambda: self.display.wallpaper() == (walls[1], "center"), "pcmanfm-qt's settings: center")
        wait_for(lambda: self.shown(False, COLOURS[1]), "the desktop showing the wallpaper: center")
        self.display.screenshot("lxqt-wallpaper-center")
        for attempt in range(3):  # a pcmanfm-qt 2.1 that deadlocks as it starts draws nothing
            self.display.restart_desktop()
            self.assertEqual(self.display.wallpaper(), (walls[1], "center"))
            try:
                wait_for(lambda: self.shown(False, COLOURS[1]), "the centred wallpaper after pcmanfm-qt restarts",
                         timeout=harness.TIMEOUT / 3)
                break
            except AssertionError:
                if attempt == 2:
                    raise
        self.display.screenshot("lxqt-wallpaper-restarted")
        self.assertTrue(os.path.islink(settings))
        self.assertEqual(veska.messages(proc), [])
