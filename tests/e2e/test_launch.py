"""The launch menu: its build, launching programs, the button swap and the wallpaper rotation."""
import os
import unittest

from harness import VeskaTestCase, wait_for, write_bmp

RED, GREEN, BLUE = (255, 0, 0), (0, 255, 0), (0, 0, 255)


class LaunchTest(VeskaTestCase):

    def setUp(self):
        super().setUp()
        root = self.veska.root
        self.program = self.mark_program(os.path.join(root, "apps", "mark.sh"))
        # Blanks, quotes, a command substitution, a semicolon and a leading "-".
        self.odd = self.mark_program(os.path.join(root, "my dir", '"q" $(touch pwned); x', "-run me.sh"))
        self.walls = []
        for i, colour in enumerate((RED, GREEN, BLUE)):
            path = os.path.join(root, "wall%d.bmp" % i)
            write_bmp(path, 64, 48, colour)
            self.walls.append(path)

    def config(self):
        entries = [("プログラム", "Null", self.program, "(なし)"),
                   ("-", "Null", "Separator", ""),
                   ("変な名前", "Null", self.odd, "(なし)"),
                   ("壁紙の変更", "P1", "PersonalApplication", "(なし)"),
                   ("システム情報...", "P3", "PersonalApplication", "(なし)")]
        lines = ["[ItemCount]", "ItemNumber=%d" % len(entries), "WallNumber=3", "TempNumber=0"]
        for section, field in (("MenuCaption", 0), ("MenuName", 1), ("MenuPath", 2), ("MenuSound", 3)):
            lines.append("[%s]" % section)
            lines += ["Item%d=%s" % (i, e[field]) for i, e in enumerate(entries)]
        lines.append("[WallCaption]")
        lines += ["Item%d=壁紙 %d" % (i, i) for i in range(3)]
        lines.append("[WallPath]")
        lines += ["Item%d=%s" % (i, p) for i, p in enumerate(self.walls)]
        lines += ["[WallStyle]", "Item0=1", "Item1=0", "Item2=1"]  # the second is tiled
        return "\n".join(lines) + "\n"

    def test_left_button_pops_the_launch_menu_and_entries_run_exactly_their_file(self):
        proc = self.start_current(self.config())
        self.screen.open_menu(1)
        self.display.screenshot("launch-menu")
        self.screen.keys("Down", "Down", "Down", "Right")  # the wallpaper submenu
        wait_for(lambda: len([w for w in self.screen.veska_windows() if self.screen.is_popup(w[0])
                              and w[4] > 32]) == 2, "the wallpaper submenu")
        self.display.screenshot("launch-wallpaper-submenu")
        self.screen.keys("Escape", "Escape")
        self.screen.wait_no_menu()

        self.screen.pop_and_choose(1, 1)
        wait_for(lambda: self.marked() == [self.program], "the program to run")
        self.screen.pop_and_choose(1, 2)  # the separator is passed over
        wait_for(lambda: self.marked() == [self.program, self.odd], "the oddly named program to run")
        self.assertEqual([p for p in os.listdir(self.veska.root) if "pwned" in p], [])
        self.assertIsNone(proc.poll())
        self.exit_veska(proc)

    def test_click_zero_swaps_the_buttons(self):
        self.right_is_command = False
        proc = self.start_current(self.config(), {"Style": {"Click": "0"}})
        self.screen.pop_and_choose(3, 1)  # the right button now pops the launch menu
        wait_for(lambda: self.marked() == [self.program], "the program to run")
        self.screen.open_menu(1)
        self.display.screenshot("launch-swapped-left-button")
        self.screen.keys("Escape")
        self.screen.wait_no_menu()
        self.exit_veska(proc)  # through the left button

    def root_is(self, colour, tiled):
        centre = self.display.pixel(400, 300)
        edge = self.display.pixel(10, 300)
        return centre == colour and (edge == colour) == tiled

    def test_in_order_rotation_sets_the_next_wallpaper_at_every_start(self):
        expected = [("3", GREEN, True), ("4", BLUE, False), ("2", RED, False), ("3", GREEN, True)]
        self.veska.write_config(self.config())
        for n, (order, colour, tiled) in enumerate(expected):
            settings = {"": {"Version": "0.27"}, "Wall_paper": {"Change": "1", "Means": "1"}}
            if n == 0:
                settings["Wall_paper"]["Order"] = "2"
            else:
                settings["Wall_paper"]["Order"] = self.veska.setting("Wall_paper", "Order")
            self.veska.write_settings(settings)
            proc = self.veska.start()
            self.screen.wait_icon()
            wait_for(lambda: self.veska.setting("Wall_paper", "Order") == order, "Order " + order)
            wait_for(lambda: self.root_is(colour, tiled), "wallpaper %d on the root window" % n)
            self.display.screenshot("wallpaper-start-%d" % n)
            self.exit_veska(proc)
        # Tile written by the last change: the second wallpaper is tiled.
        self.assertEqual(self.veska.read_settings()["HKEY_CURRENT_USER\\Control Panel\\Desktop"],
                         {"TileWallpaper": "1"})

    def test_choosing_a_wallpaper_from_the_submenu_sets_it(self):
        proc = self.start_current(self.config())
        self.screen.open_menu(1)
        self.screen.keys("Down", "Down", "Down", "Right", "Down", "Down", "Return")  # the second wallpaper
        self.screen.wait_no_menu()
        wait_for(lambda: self.root_is(GREEN, True), "the tiled green wallpaper")
        self.exit_veska(proc)


if __name__ == "__main__":
    unittest.main()
