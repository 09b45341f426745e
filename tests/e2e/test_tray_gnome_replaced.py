"""GNOME Shell replaced under a running Veska, three times: every click opens the menu again."""
import os
import subprocess
import unittest

from harness import wait_for
from test_tray_gnome import MAGENTA, GnomeCase, setUpModule  # noqa: F401 (the module's skip)


class GnomeReplacedShellTest(GnomeCase):
    def restart_shell(self, n):
        """Replaces the shell; returns Veska's icon once the new shell has read Veska's menu, as
        it does when it is about to draw it (a click before that finds nothing to open, for any
        program's icon)."""
        calls = os.path.join(self.veska.root, "menu-calls-%d" % n)
        with open(calls, "w") as out:
            monitor = subprocess.Popen(["dbus-monitor", "--session", "type='method_call',member='GetLayout'"],
                                       env=self.host.display.env, stdout=out, stderr=subprocess.DEVNULL)
        try:
            self.host.restart_shell()
            icon = self.host.wait_icon(MAGENTA)
            wait_for(lambda: "member=GetLayout" in open(calls).read(), "the new shell to read Veska's menu")
        finally:
            monitor.kill()
            monitor.wait()
        return icon

    def test_every_click_opens_the_menu_after_each_of_three_replaced_shells(self):
        proc = self.start_veska("1")
        for n in range(3):
            icon = self.restart_shell(n)
            for _ in range(10):
                _, before, _ = self.host.pop(icon, 1 + 2 * (n % 2))
                self.screen.keys("Escape")
                self.host.wait_back(before)
        self.assertNoErrorBox()
        self.assertIsNone(proc.poll())


if __name__ == "__main__":
    unittest.main()
