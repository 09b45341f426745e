"""The tray icon on a Wayland desktop: sway (headless) with waybar's tray, which draws one menu on
either button. See host_sway.py for how the session is run and clicked."""
import os
import time
import unittest

from harness import PROGRAM, TIMEOUT, delete_first_entry, launch_config, wait_for, wallpaper_config, wallpaper_shown, write_bmp, write_ico, write_script
from host_sway import HEIGHT, WIDTH, SwayHost, SwayVeska, gap, has_qt_platform, missing_tools

ICON = (255, 0, 255)
DIALOG = "Veska のプロパティ"
NEAR = 150


class SwayTrayTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(PROGRAM):
            raise unittest.SkipTest("build/veska is missing")
        missing = missing_tools() + ["qt6-wayland"] * (not has_qt_platform("wayland"))
        if missing:
            raise unittest.SkipTest("missing: " + ", ".join(missing))
        # Wayland clients share their pictures through /dev/shm, which a bare chroot leaves to root.
        if not os.stat("/dev/shm").st_mode & 0o002:
            raise unittest.SkipTest("/dev/shm is not writable for the session's unprivileged account")

    def setUp(self):
        self.host = SwayHost()
        self.addCleanup(self.host.stop)

    def start_veska(self, platform, click=None, config=None, captions=("印",)):
        """Veska with a magenta icon and a launch entry per caption whose program marks it in a file,
        or this configuration."""
        veska = SwayVeska(self.host, platform)
        self.addCleanup(veska.cleanup)
        self.marks = os.path.join(veska.root, "marks")
        entries = [(c, os.path.join(veska.root, "apps", "mark%d.sh" % n)) for n, c in enumerate(captions)]
        for caption, path in entries:
            write_script(path, 'echo %s >> "%s"' % (caption, self.marks))
        icon = os.path.join(veska.root, "icon.ico")
        write_ico(icon, ICON)
        style = {"Icon": icon}
        if click is not None:
            style["Click"] = click
        veska.write_settings({"": {"Version": "0.27"}, "Style": style})
        veska.write_config(config or launch_config(entries))
        self.veska = veska
        return veska.start()

    def marked(self):
        if not os.path.exists(self.marks):
            return []
        with open(self.marks) as f:
            return f.read().splitlines()

    def runs(self):
        return len(self.marked())

    def veska_windows(self, proc):
        """Windows of this run, as a Wayland client (its pid) or under Xwayland (also its class)."""
        return [w for w in self.host.windows()
                if w.get("pid") == proc.pid or (w.get("window_properties") or {}).get("class") == "veska"]

    def pop(self, button, name=None, rows=3):
        """The menu a button pops: one menu, beside the icon, with the launch entries and both commands."""
        menu = self.host.pop(ICON, button, name)
        self.assertLessEqual(gap(menu.icon, menu.box), NEAR, "menu at %s for the icon at %s" % (menu.box, menu.icon))
        self.assertEqual(len(menu.rows), rows, "entries of the menu at %s" % (menu.box,))
        return menu

    def launch_entry(self, button, row, name=None):
        before = self.runs()
        self.pop(button, name).choose(row)
        wait_for(lambda: self.runs() == before + 1, "the launch entry to run")

    def properties(self, button, row, name=None):
        self.pop(button, name).choose(row)
        window = self.host.wait_window(DIALOG)
        shot = self.host.still()  # painted, so ready for keys
        if name:
            shot.save(name + "-dialog")
        self.host.swaymsg("[con_id=%d] focus" % window["id"])
        self.host.keys("Escape")
        self.host.wait_no_window(DIALOG)

    def exit_veska(self, proc, button, row):
        self.pop(button).choose(row)
        self.assertEqual(proc.wait(TIMEOUT), 0)
        wait_for(lambda: self.host.icon(ICON) is None, "the icon to leave the tray")

    def test_either_button_pops_the_one_menu_at_the_icon_whose_entries_work(self):
        self.host.start()
        # Click "1": the launch menu first, then the command menu, in one menu on both buttons.
        # Under Xwayland, as most Qt programs on sway without qt6-wayland.
        proc = self.start_veska("xcb")
        self.host.wait_icon(ICON)
        self.host.screenshot("sway-icon")
        for n in range(3):
            name = "sway-click1-%s" if n == 0 else None
            self.launch_entry(1, 0, name and name % "left")
            self.properties(3, 1, name and name % "right")
        self.assertEqual(self.veska.messages(proc), [])
        self.exit_veska(proc, 1, 2)

        # Click "0": the command menu first. As a Wayland client this time.
        proc = self.start_veska("wayland", click="0")
        self.host.wait_icon(ICON)
        for n in range(3):
            name = "sway-click0-%s" if n == 0 else None
            self.properties(1, 0, name and name % "left")
            self.launch_entry(3, 2, name and name % "right")
        self.assertEqual(self.veska.messages(proc), [])
        self.exit_veska(proc, 3, 1)

    def test_an_edit_in_the_properties_dialog_reaches_waybars_menu(self):
        self.host.start()
        proc = self.start_veska("wayland", captions=("Alpha", "Beta"))
        self.pop(1, "sway-edit-before", rows=4).dismiss()  # Alpha, Beta, properties, exit; opened once, then closed
        self.pop(1, rows=4).choose(2)
        dialog = self.host.wait_window(DIALOG)
        self.host.still()  # painted, so ready for clicks
        delete_first_entry(self.host, dialog)
        self.assertEqual(self.veska.read_config()["MenuCaption"], {"Item0": "Beta"})

        self.pop(1, "sway-edit-after", rows=3).choose(0)
        wait_for(lambda: self.marked() == ["Beta"], "Beta's program to run")
        self.assertEqual(self.veska.messages(proc), [("確認", "[Alpha] を削除します。")])
        self.exit_veska(proc, 1, 2)

    def test_icon_comes_when_waybar_starts_late_and_again_after_it_restarts(self):
        self.host.start(waybar=False)
        # Under Xwayland, where no XEmbed tray stands in for the missing watcher either.
        proc = self.start_veska("xcb")
        time.sleep(10)  # the scene itself: no tray for ten seconds
        self.assertIsNone(proc.poll())
        self.assertEqual(self.veska_windows(proc), [])
        self.host.start_waybar()
        self.host.wait_icon(ICON, timeout=10)
        self.host.screenshot("sway-late-waybar")
        self.assertEqual(self.veska.messages(proc), [])
        self.assertEqual(self.veska_windows(proc), [])

        self.host.kill_waybar()
        wait_for(lambda: not self.host.bar_shown(), "the bar to go")
        self.host.start_waybar()
        self.host.wait_icon(ICON, timeout=10)
        self.launch_entry(1, 0, "sway-restarted-waybar")
        self.assertEqual(self.veska.messages(proc), [])
        self.assertEqual(self.veska_windows(proc), [])
        self.exit_veska(proc, 3, 2)

    def test_a_wallpaper_chosen_in_the_submenu_shows_tiled_then_centred(self):
        self.host.start()
        # Names that sway's command parser and its shell-like expansion would take apart.
        walls = [os.path.join(self.host.root, "$HOME 'a' \"b\";,[c]\\", n) for n in ("t  1.bmp", "$(touch x).bmp")]
        os.makedirs(os.path.dirname(walls[0]))
        colours = [((0, 255, 0), (0, 0, 255)), ((255, 255, 0), (255, 0, 0))]
        for path, (left, right) in zip(walls, colours):
            write_bmp(path, 40, 30, left, right)
        proc = self.start_veska("wayland", config=wallpaper_config(*walls))
        for row, tiled in ((1, True), (2, False)):
            self.pop(1).submenu(0).choose(row)
            wait_for(lambda: wallpaper_shown(self.host.grab().pixel, (WIDTH, HEIGHT), tiled, colours[row - 1]),
                     "the wallpaper on the screen, tiled" if tiled else "centred")
            self.host.screenshot("sway-wallpaper-" + ("tiled" if tiled else "centred"))
        self.assertEqual(self.veska.messages(proc), [])
        self.assertFalse(os.path.exists(os.path.join(self.host.home, "x")))


if __name__ == "__main__":
    unittest.main()
