"""The resident program: the icon, the command menu, exit, and one instance at a time."""
import os
import subprocess
import time
import unittest

from harness import TIMEOUT, Display, Screen, Veska, VeskaTestCase, wait_for

REFUSAL = "すでに常駐しているため起動できません。"


class ResidentTest(VeskaTestCase):
    def test_icon_docks_and_the_right_button_pops_the_command_menu_whose_exit_ends_it(self):
        proc = self.start_current()
        icon = self.screen.wait_icon()
        self.display.screenshot("resident-icon")
        self.screen.open_menu(3)
        self.display.screenshot("resident-command-menu")
        self.screen.keys("Down", "Down", "Return")  # "Veska の終了(&X)"
        self.assertEqual(proc.wait(TIMEOUT), 0)
        wait_for(lambda: self.screen.tray_icon() is None, "the icon to leave the tray")
        self.assertNotIn(icon[0], [w for w, *_ in self.screen.veska_windows()])

    def test_properties_command_opens_the_dialog_and_exit_still_works_after(self):
        proc = self.start_current()
        self.screen.pop_and_choose(3, 1)  # "Veska のプロパティ(&R)..."
        self.screen.wait_window("Veska のプロパティ")
        self.display.screenshot("resident-properties")
        self.close_dialog("Veska のプロパティ")
        self.exit_veska(proc)

    def test_a_second_start_is_refused_and_leaves_the_first_running(self):
        first = self.start_current()
        icon = self.screen.wait_icon()
        second = self.veska.start()
        box = self.screen.wait_window("エラー")
        self.veska.wait_message(REFUSAL, second)
        self.display.screenshot("resident-refusal")
        self.screen.focus_keys(box, "Return")
        self.assertEqual(second.wait(TIMEOUT), 0)
        self.assertIsNone(first.poll())
        self.assertEqual(self.screen.tray_icon()[0], icon[0])
        self.assertEqual(self.veska.messages(first), [])
        self.exit_veska(first)

    def test_two_starts_at_the_same_moment_leave_exactly_one_running(self):
        self.veska.write_settings({"": {"Version": "0.27"}})
        procs = [self.veska.start(), self.veska.start()]
        # The loser shows the refusal; answer it, and it ends with code 0.
        box = self.screen.wait_window("エラー")
        self.screen.focus_keys(box, "Return")
        loser = wait_for(lambda: next((p for p in procs if p.poll() is not None), None), "one start to end")
        self.assertEqual(loser.returncode, 0)
        winner = procs[1] if loser is procs[0] else procs[0]
        self.assertIsNone(winner.poll())
        self.assertEqual([t for _, t in self.veska.messages(loser)], [REFUSAL])
        self.screen.wait_icon()
        icons = [w for w in self.screen.veska_windows() if w[4] <= 32 and w[5] <= 32]
        self.assertEqual(len(icons), 1)
        self.exit_veska(winner)



class NoSessionBusTest(unittest.TestCase):
    def test_without_a_session_bus_the_icon_docks_in_a_tray_that_comes_later(self):
        display = Display()
        display.start_xvfb()
        self.addCleanup(display.stop)
        veska = Veska(display)
        self.addCleanup(veska.cleanup)
        veska.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(veska.root, "no-bus")
        veska.write_settings({"": {"Version": "0.27"}})
        veska.write_config(VeskaTestCase.ONE_ENTRY)
        proc = veska.start()
        time.sleep(3)  # the scene itself: no bus and no tray for three seconds
        self.assertIsNone(proc.poll())
        display.start_tray()
        screen = Screen(display)
        screen.wait_icon()
        screen.open_menu(1)
        display.screenshot("no-bus-launch-menu")
        screen.keys("Escape")
        screen.wait_no_menu()
        screen.pop_and_choose(3, 2)  # "Veska の終了(&X)"
        self.assertEqual(proc.wait(TIMEOUT), 0)
        self.assertEqual(veska.messages(proc), [])


if __name__ == "__main__":
    unittest.main()
