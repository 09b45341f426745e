"""Windows under a window manager: a message box comes up above the system information window,
which stays on top."""
import os
import subprocess
import unittest

from harness import VeskaTestCase, wait_for


class StackingTest(VeskaTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=cls.display.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.display.procs.append(wm)
        wait_for(lambda: cls.stacking() is not None, "the window manager")

    @classmethod
    def stacking(cls):
        """Managed windows from bottom to top; None until the window manager publishes them."""
        r = subprocess.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"], env=cls.display.env,
                           capture_output=True, text=True)
        if r.returncode != 0 or "#" not in r.stdout:
            return None
        return [int(w.strip(), 16) for w in r.stdout.split("#", 1)[1].split(",") if w.strip()]

    def test_a_confirmation_comes_up_above_the_system_information_window(self):
        temp = os.path.join(self.veska.root, "temp")
        os.makedirs(temp)
        open(os.path.join(temp, "file.tmp"), "w").close()
        config = ("[ItemCount]\nItemNumber=2\nTempNumber=1\n[MenuCaption]\nItem0=システム情報...\n"
                  "Item1=テンポラリファイルの削除\n[MenuName]\nItem0=P3\nItem1=P4\n"
                  "[MenuPath]\nItem0=PersonalApplication\nItem1=PersonalApplication\n"
                  "[MenuSound]\nItem0=(なし)\nItem1=(なし)\n[TempFolder]\nPathItem0=" + temp + "\n")
        proc = self.start_current(config)
        self.screen.pop_and_choose(1, 1)
        system = int(self.screen.wait_window("システム情報"))
        wait_for(lambda: system in (self.stacking() or []), "the system window to be managed")
        self.screen.pop_and_choose(1, 2)
        box = int(self.screen.wait_window("確認"))
        wait_for(lambda: box in (self.stacking() or []), "the box to be managed")
        self.display.screenshot("stacking-box-over-system-window")
        order = self.stacking()
        self.assertGreater(order.index(box), order.index(system), "the box is beneath the system window")
        self.screen.focus_keys(str(box), "Return")
        wait_for(lambda: not os.listdir(temp), "the deletion")
        self.exit_veska(proc)


if __name__ == "__main__":
    unittest.main()
