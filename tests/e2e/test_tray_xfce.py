"""Veska's icon in a real xfce4-panel's status tray: which button pops which menu and where, an edit
that reaches the panel's menu (also on lxqt-panel), and an icon that finds a panel started late or
restarted."""
import os
import shutil
import sys
import time
import unittest

import harness
import host_xfce
from harness import TIMEOUT, delete_first_entry, launch_config, wait_for, write_script
from host_lxqt import LxqtDisplay
from host_xfce import TrayIcon, XfceDisplay, XfceVeska

RED = (255, 0, 0)
DIALOG = "Veska のプロパティ"
NEAR = 150  # how far from the icon a menu may show, in pixels


def setUpModule():
    if not host_xfce.PANEL:
        raise unittest.SkipTest("xfce4-panel is not installed")
    if not os.path.exists(harness.PROGRAM):
        raise unittest.SkipTest("build/veska is missing")


class XfceTestCase(unittest.TestCase):
    host_first = True
    host = XfceDisplay

    @classmethod
    def setUpClass(cls):
        cls.display = cls.host().start(host=cls.host_first)

    @classmethod
    def tearDownClass(cls):
        cls.display.stop()

    def setUp(self):
        self.veska = XfceVeska(self.display)
        self.screen = harness.Screen(self.display)
        self.icon = TrayIcon(self.display, RED)
        self.marks = os.path.join(self.veska.root, "marks")
        self.finished = False

    def tearDown(self):
        if self.display.popups():
            self.screen.keys("Escape")
        self.veska.cleanup()
        wait_for(lambda: not self.display.windows("--classname", "veska"), "Veska's windows to go")
        # A test that stopped half way may leave the panel with a menu or a dialog of its own.
        if not self.finished:
            sys.stderr.write("xfce4-panel's output:\n" + self.display.host_log())
            if self.display.panel:
                self.display.restart_host()

    def start(self, click=True, captions=("印",)):
        """A launch entry per caption, each a program of its own that marks its path."""
        self.programs = [os.path.join(self.veska.root, "apps", "mark%d.sh" % n) for n in range(len(captions))]
        for program in self.programs:
            write_script(program, 'printf "%%s\\n" "$0" >> "%s"' % self.marks)
        return self.veska.start_coloured(RED, launch_config(list(zip(captions, self.programs))), click=click)

    def marked(self):
        if not os.path.exists(self.marks):
            return []
        with open(self.marks) as f:
            return f.read().splitlines()

    def errors(self, proc):
        """Message boxes: reported on standard error, and any window of Veska's on screen."""
        shown = [w for w in self.screen.veska_windows() if w[4] > 32 and not self.screen.is_popup(w[0])]
        return self.veska.messages(proc) + shown

    def pop(self, button, shot):
        """Pops a button's menu, checks that it shows near the icon, and saves a screenshot; returns
        how many entries it shows."""
        window, box = self.icon.open_menu(button)
        icon = self.icon.wait()
        self.assertLessEqual(self.icon.distance(box), NEAR, "menu at %s, icon at %s" % (box, icon))
        self.display.wait_painted(window)
        self.display.screenshot(shot)
        return self.display.text_rows(window, box)

    def choose_launch(self, button, shot):
        """The launch menu: its first entry runs the mark program."""
        runs = len(self.marked())
        self.pop(button, shot)
        self.screen.keys("Down", "Return")
        wait_for(lambda: len(self.marked()) == runs + 1, "the launch menu's entry to run (%s)" % shot)
        self.icon.wait_no_menu()

    def choose_command(self, button, shot):
        """The command menu: its first entry opens the properties dialog."""
        self.pop(button, shot)
        self.screen.keys("Down", "Return")
        dialog = wait_for(lambda: self.screen.window(DIALOG), "the properties dialog (%s)" % shot)
        self.screen.focus_keys(dialog, "Escape")
        self.screen.wait_no_window(DIALOG)
        self.icon.wait_no_menu()

    def exit_through(self, button, proc):
        """The command menu's second entry ends Veska, and the icon leaves the panel."""
        self.icon.open_menu(button)
        self.screen.keys("Down", "Down", "Return")
        self.assertEqual(proc.wait(TIMEOUT), 0)
        wait_for(lambda: self.icon.find() is None, "the icon to leave the panel")


class ButtonsTest(XfceTestCase):

    def check_buttons(self, launch, command, name):
        proc = self.start(click=launch == 1)
        self.icon.wait()
        for n in range(1, 4):
            self.choose_launch(launch, "xfce-%s-launch-%d" % (name, n))
        for n in range(1, 4):
            self.choose_command(command, "xfce-%s-command-%d" % (name, n))
        self.assertEqual(self.errors(proc), [])
        self.exit_through(command, proc)
        self.finished = True

    def test_left_pops_the_launch_menu_and_right_the_command_menu(self):
        self.check_buttons(1, 3, "default")

    def test_swapped_buttons(self):
        self.check_buttons(3, 1, "swapped")


class EditTest(XfceTestCase):
    shots = "xfce-edit"

    def test_an_edit_reaches_the_panels_menu(self):
        # "Click" "0": the panel draws the launch menu on the right button; Veska pops the command menu.
        proc = self.start(click=False, captions=("Alpha", "Beta"))
        self.assertEqual(self.pop(3, self.shots + "-before"), 2)
        self.screen.keys("Escape")
        self.icon.wait_no_menu()
        self.icon.open_menu(1)
        self.screen.keys("Down", "Return")
        delete_first_entry(self.screen, self.screen.wait_window(DIALOG))
        self.assertEqual(self.veska.read_config()["MenuCaption"], {"Item0": "Beta"})

        self.assertEqual(self.pop(3, self.shots + "-after"), 1)
        self.screen.keys("Down", "Return")
        wait_for(lambda: self.marked() == self.programs[1:], "Beta's program to run")
        self.assertEqual(self.veska.messages(proc), [("確認", "[Alpha] を削除します。")])
        self.finished = True


class LxqtEditTest(EditTest):
    """The same on lxqt-panel, which also draws the right button's menu."""
    host, shots = LxqtDisplay, "lxqt-edit"

    @classmethod
    def setUpClass(cls):
        if not all(shutil.which(t) for t in ("lxqt-panel", "pcmanfm-qt", "openbox")):
            raise unittest.SkipTest("LXQt is not installed")
        super().setUpClass()


class LateHostTest(XfceTestCase):
    host_first = False

    def test_icon_comes_with_a_late_panel_and_after_its_restart(self):
        proc = self.start()
        time.sleep(10)  # the scenario: a desktop whose panel comes up 10 s after Veska
        self.assertIsNone(proc.poll())
        started = time.monotonic()
        self.display.start_host()
        try:
            wait_for(self.icon.find, "the icon", timeout=max(10 - (time.monotonic() - started), 1))
        except AssertionError:
            self.display.screenshot("xfce-late-panel-no-icon")
            self.fail("no icon within 10 s of the panel; the watcher holds %s" % self.display.registered_items())
        self.display.screenshot("xfce-late-panel")
        self.assertEqual(self.errors(proc), [])

        self.display.kill_host()
        wait_for(lambda: self.icon.find() is None, "the icon to go with the panel")
        self.display.start_host()
        self.icon.wait()
        self.display.screenshot("xfce-restarted-panel")
        self.choose_launch(1, "xfce-restarted-launch")
        self.assertIsNone(proc.poll())
        self.assertEqual(self.errors(proc), [])
        self.finished = True


if __name__ == "__main__":
    unittest.main()
