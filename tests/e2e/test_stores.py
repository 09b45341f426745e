"""Start-up against real store files: first start, upgrade, the plain path, and store errors."""
import os
import unittest

from harness import REG_KEY, TIMEOUT, VeskaTestCase, wait_for

DIALOG = "Veska のプロパティ"
DEFAULT_CAPTIONS = ["壁紙の変更", "「最近使ったファイル」の削除", "テンポラリファイルの削除", "システム情報..."]


class StoresTest(VeskaTestCase):

    def assert_upgraded(self):
        s = self.veska.read_settings()
        self.assertEqual(s[REG_KEY + "\\Wall_paper"], {"Change": "0", "Means": "1", "Order": "2"})
        self.assertEqual(s[REG_KEY + "\\Style"]["Click"], "1")
        self.assertTrue(s[REG_KEY + "\\Style"]["SWPFile"])
        self.assertEqual(s[REG_KEY]["Version"], "0.27")
        self.assertEqual(s[REG_KEY]["Contents"], "4")

    def assert_plain_start(self, proc):
        """The start took the plain path: the command menu pops and no dialog opened."""
        self.screen.open_menu(3)
        self.assertIsNone(self.screen.window(DIALOG))
        self.screen.keys("Escape")
        self.screen.wait_no_menu()
        self.assertIsNone(proc.poll())

    def test_no_stores_upgrades_then_the_next_start_writes_the_defaults_and_upgrades_again(self):
        proc = self.veska.start()
        self.screen.wait_window(DIALOG)
        self.display.screenshot("stores-first-dialog")
        self.assert_upgraded()
        self.assertFalse(os.path.exists(self.veska.config))  # the upgrade leaves the file alone
        self.close_dialog(DIALOG)
        self.exit_veska(proc)

        # Closed without applying: the next start writes the four default entries, upgrades again.
        self.veska.write_settings({"": {"Version": "0.27"}, "Wall_paper": {"Means": "0", "Order": "9"}})
        proc = self.veska.start()
        self.screen.wait_window(DIALOG)
        self.assert_upgraded()
        config = self.veska.read_config()
        self.assertEqual(config["ItemCount"], {"TempNumber": "1", "ItemNumber": "4"})
        self.assertEqual(config["TempFolder"], {"PathItem0": self.veska.tmp})
        self.assertEqual([config["MenuCaption"]["Item%d" % i] for i in range(4)], DEFAULT_CAPTIONS)
        self.assertEqual([config["MenuName"]["Item%d" % i] for i in range(4)], ["P1", "P2", "P4", "P3"])
        self.assertEqual(set(config["MenuPath"].values()), {"PersonalApplication"})
        self.assertEqual(set(config["MenuSound"].values()), {"(なし)"})
        self.assertTrue(open(self.veska.config, "rb").read().endswith(b"\r\n"))
        self.close_dialog(DIALOG)
        self.exit_veska(proc)

    def test_version_of_four_bytes_decides_before_the_count(self):
        self.veska.write_config(self.ONE_ENTRY)
        self.veska.write_settings({"": {"Version": "0.27.99"}})
        proc = self.veska.start()
        self.assert_plain_start(proc)
        self.assertEqual(self.veska.setting("Wall_paper", "Means"), None)  # no upgrade
        self.exit_veska(proc)

        self.veska.write_settings({"": {"Version": "0.2"}})
        proc = self.veska.start()
        self.screen.wait_window(DIALOG)
        self.assert_upgraded()
        self.close_dialog(DIALOG)
        self.exit_veska(proc)

    def test_count_minus_one_upgrades_and_256_builds_the_menus(self):
        self.veska.write_settings({"": {"Version": "0.27"}})
        self.veska.write_config("[ItemCount]\nItemNumber=-1\n")
        proc = self.veska.start()
        self.screen.wait_window(DIALOG)
        self.close_dialog(DIALOG)
        self.exit_veska(proc)
        self.assertEqual(self.veska.read_config()["ItemCount"], {"ItemNumber": "-1"})  # no first start

        self.veska.write_config("[ItemCount]\nItemNumber=256\n")
        proc = self.veska.start()
        self.assert_plain_start(proc)
        self.exit_veska(proc)

    def test_an_unwritable_configuration_file_is_reported_and_left_as_it_was(self):
        self.veska.write_settings({"": {"Version": "0.27"}})
        self.veska.write_config("; kept\n[ItemCount]\nItemNumber=0\n")
        os.chmod(self.veska.config, 0o444)
        before = open(self.veska.config, "rb").read()
        proc = self.veska.start()
        box = self.screen.wait_window("Veska")
        self.veska.wait_message(self.veska.config + " に書き込めません.")
        self.display.screenshot("stores-unwritable")
        self.screen.focus_keys(box, "Return")
        self.screen.wait_no_window("Veska")
        self.assert_plain_start(proc)  # the program runs on, without the dialog
        self.assertEqual(open(self.veska.config, "rb").read(), before)
        self.exit_veska(proc)

    def test_a_version_of_another_type_shows_the_type_error(self):
        self.veska.write_config(self.ONE_ENTRY)
        self.veska.write_settings({"": {"Version": 0x27}})
        proc = self.veska.start()
        box = self.screen.wait_window("Veska")
        self.veska.wait_message("'Version' のデータ型が不正です.")
        self.screen.focus_keys(box, "Return")
        self.screen.wait_no_window("Veska")
        self.assertIsNone(proc.poll())
        self.exit_veska(proc)


if __name__ == "__main__":
    unittest.main()
