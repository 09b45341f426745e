"""GNOME Shell replaced under a running Veska, three times: every click opens the menu again."""
import unittest

from test_tray_gnome import MAGENTA, GnomeCase, setUpModule  # noqa: F401 (the module's skip)


class GnomeReplacedShellTest(GnomeCase):
    def test_every_click_opens_the_menu_after_each_of_three_replaced_shells(self):
        proc = self.start_veska("1")
        for n in range(3):
            self.host.restart_shell()
            icon = self.host.wait_icon(MAGENTA)
            for _ in range(10):
                _, before, _ = self.host.pop(icon, 1 + 2 * (n % 2))
                self.screen.keys("Escape")
                self.host.wait_back(before)
        self.assertNoErrorBox()
        self.assertIsNone(proc.poll())


if __name__ == "__main__":
    unittest.main()
