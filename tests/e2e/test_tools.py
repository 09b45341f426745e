"""The desktop tools from the launch menu: system information, recent documents, temporary files."""
import os
import unittest

from harness import VeskaTestCase, wait_for

XBEL = ('<?xml version="1.0" encoding="UTF-8"?>\n<xbel version="1.0">\n'
        '  <bookmark href="file:///tmp/a.txt" added="2026-01-01T00:00:00Z"/>\n</xbel>\n')


class ToolsTest(VeskaTestCase):

    def setUp(self):
        super().setUp()
        root = self.veska.root
        self.program = self.mark_program(os.path.join(root, "apps", "mark.sh"))
        self.missing = os.path.join(root, "no-such-folder")
        self.temp = os.path.join(root, "temp")
        os.makedirs(self.temp)
        self.xbel = os.path.join(self.veska.xdg_data, "recently-used.xbel")
        self.recent_dir = os.path.join(self.veska.xdg_data, "RecentDocuments")
        os.makedirs(self.recent_dir)

    def config(self):
        entries = [("「最近使ったファイル」の削除", "P2", "PersonalApplication"),
                   ("プログラム", "Null", self.program),
                   ("テンポラリファイルの削除", "P4", "PersonalApplication"),
                   ("システム情報...", "P3", "PersonalApplication")]
        lines = ["[ItemCount]", "ItemNumber=4", "TempNumber=2"]
        for section, field in (("MenuCaption", 0), ("MenuName", 1), ("MenuPath", 2)):
            lines.append("[%s]" % section)
            lines += ["Item%d=%s" % (i, e[field]) for i, e in enumerate(entries)]
        lines += ["[MenuSound]"] + ["Item%d=(なし)" % i for i in range(4)]
        lines += ["[TempFolder]", "PathItem0=" + self.missing, "PathItem1=" + self.temp]
        return "\n".join(lines) + "\n"

    def recent_empty(self):
        xbel = open(self.xbel).read() if os.path.exists(self.xbel) else ""
        return "<bookmark" not in xbel and os.listdir(self.recent_dir) == []

    def click_in(self, window, x, y):
        wx, wy, _, _ = self.display.geometry(window)
        self.display.xdotool("mousemove", str(wx + x), str(wy + y), "click", "1")

    def test_system_information_opens_retakes_and_closes(self):
        open(os.path.join(self.temp, "file.tmp"), "w").close()
        open(os.path.join(self.recent_dir, "doc.desktop"), "w").close()
        proc = self.start_current(self.config())
        self.screen.pop_and_choose(1, 4)  # every entry enabled: the fourth is "システム情報..."
        window = self.screen.wait_window("システム情報")
        self.display.screenshot("tools-system-information")
        self.display.screenshot("tools-system-information-window", window)
        self.click_in(window, 358 + 37, 115 + 10)  # "Retake"
        self.assertIsNone(proc.poll())
        self.click_in(window, 436 + 37, 115 + 10)  # "OK"
        self.screen.wait_no_window("システム情報")
        self.assertEqual(self.veska.messages(proc), [])
        self.exit_veska(proc)

    def test_clearing_recent_documents_disables_the_entry_until_a_new_one_is_stored(self):
        with open(self.xbel, "w") as f:
            f.write(XBEL)
        open(os.path.join(self.recent_dir, ".hidden.desktop"), "w").close()
        proc = self.start_current(self.config())
        self.screen.pop_and_choose(1, 1)  # "「最近使ったファイル」の削除"
        wait_for(self.recent_empty, "the recent-documents list to be empty")
        # Now the entry is disabled: the first Down passes over it to the program.
        self.screen.pop_and_choose(1, 1)
        wait_for(lambda: self.marked() == [self.program], "the program (the entry is disabled)")
        open(os.path.join(self.recent_dir, "new.desktop"), "w").close()
        self.screen.pop_and_choose(1, 1)  # enabled again: the first Down is the entry
        wait_for(self.recent_empty, "the new recent document to be cleared")
        self.assertEqual(self.marked(), [self.program])
        self.exit_veska(proc)

    def test_temporary_files_are_deleted_after_the_confirmation(self):
        t = self.temp
        outside = os.path.join(self.veska.root, "outside.txt")
        with open(outside, "w") as f:
            f.write("keep")
        for name in ("normal.tmp", "readonly.tmp", ".hidden"):
            open(os.path.join(t, name), "w").close()
        os.chmod(os.path.join(t, "readonly.tmp"), 0o444)
        os.makedirs(os.path.join(t, "sub"))
        open(os.path.join(t, "sub", "inner.tmp"), "w").close()
        os.mkfifo(os.path.join(t, "fifo"))
        os.symlink(outside, os.path.join(t, "link.tmp"))
        everything = {"normal.tmp", "readonly.tmp", ".hidden", "sub", "fifo", "link.tmp"}
        proc = self.start_current(self.config())

        self.screen.pop_and_choose(1, 2)  # the recent entry is disabled: program, then this
        box = self.screen.wait_window("確認")
        self.display.screenshot("tools-temp-confirmation")
        self.screen.focus_keys(box, "Escape")  # "キャンセル"
        self.screen.wait_no_window("確認")
        self.assertEqual(set(os.listdir(t)), everything)

        self.screen.pop_and_choose(1, 2)
        box = self.screen.wait_window("確認")
        self.screen.focus_keys(box, "Return")  # "OK"
        wait_for(lambda: set(os.listdir(t)) == everything - {"normal.tmp", "link.tmp"}, "the deletion")
        self.assertEqual(os.listdir(os.path.join(t, "sub")), ["inner.tmp"])
        self.assertEqual(open(outside).read(), "keep")
        self.exit_veska(proc)


if __name__ == "__main__":
    unittest.main()
