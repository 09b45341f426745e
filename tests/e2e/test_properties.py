"""The properties dialog: its pages, its file dialogs, Apply, OK and Cancel against the stores and the tray."""
import os
import unittest

from harness import VeskaTestCase, wait_for, write_bmp, write_ico

DIALOG = "Veska のプロパティ"
INPUT = "入力ダイアログ"
DEFAULT_CAPTIONS = ["壁紙の変更", "「最近使ったファイル」の削除", "テンポラリファイルの削除", "システム情報..."]

# Client positions of what the keyboard cannot reach unambiguously (Alt+A is both "追加" and "適用").
OK, CANCEL, APPLY = (294, 418), (388, 418), (482, 418)
TOOL_ADD = (457, 92)             # "追加(&A)..." of the wallpaper and of the temporary-folder group
CLICK_SUBMENU = (114, 167)       # "左クリック : サブメニュー"

RED = (255, 0, 0)
GREEN = (0, 255, 0)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


class PropertiesTest(VeskaTestCase):

    def setUp(self):
        super().setUp()
        self.program = self.mark_program(os.path.join(self.veska.root, "apps", "first.sh"))

    def config(self):
        return ("[ItemCount]\nItemNumber=1\n[MenuCaption]\nItem0=最初\n[MenuName]\nItem0=Null\n"
                "[MenuPath]\nItem0=%s\n[MenuSound]\nItem0=(なし)\n" % self.program)

    def open_dialog(self):
        self.screen.pop_and_choose(3, 1)  # "Veska のプロパティ(&R)..."
        return self.screen.wait_window(DIALOG)

    def press(self, dialog, button):
        self.screen.click_in(dialog, *button)

    def close_with(self, dialog, button):
        self.press(dialog, button)
        self.screen.wait_no_window(DIALOG)

    def choose_file(self, title, path):
        """Types a full path into one of the dialog's file or folder choosers and accepts it."""
        chooser = self.screen.wait_window(title)
        self.screen.type_into(chooser, path)
        self.screen.keys("Return")
        self.screen.wait_no_window(title)

    def accept_name(self):
        """Accepts the name the input dialog proposes."""
        box = self.screen.wait_window(INPUT)
        self.screen.focus_keys(box, "Return")
        self.screen.wait_no_window(INPUT)

    def look(self, window, unlike=None):
        """The window's pixels once it is painted (not one flat colour), holds still across two
        grabs, and differs from `unlike`."""
        seen = [None]

        def ready():
            now = self.display.grab(window)
            still, seen[0] = now == seen[0], now
            return still and now != unlike and len({now[i:i + 3] for i in range(0, len(now), 21)}) > 8
        wait_for(ready, "window %s to be painted%s" % (window, " anew" if unlike else ""))
        return seen[0]

    def after_keys(self, window, *keys):
        """Presses keys and returns how the window looks once their effect shows."""
        before = self.look(window)
        self.screen.focus_keys(window, *keys)
        return self.look(window, before)

    def shoot(self, title, name):
        """A screenshot of the screen once the window of this title is painted."""
        window = self.screen.wait_window(title)
        self.look(window)
        self.display.screenshot(name)
        return window

    def launch_menu_size(self):
        _, _, _, width, height = self.screen.open_menu(1)
        self.screen.keys("Escape")
        self.screen.wait_no_menu()
        return width, height

    def test_every_page_and_tool_group_shows_and_cancel_closes(self):
        proc = self.start_current(self.config())
        dialog = self.open_dialog()
        looks = [self.look(dialog)]
        self.display.screenshot("properties-page-menu", dialog)
        looks.append(self.after_keys(dialog, "ctrl+Tab"))
        self.display.screenshot("properties-page-personal", dialog)
        # The tool list takes the focus with its first row current; Down selects the next.
        for n, name in enumerate(("recent", "sysinfo", "temp")):
            self.after_keys(dialog, *(["Tab"] if n == 0 else []), "Down")
            self.display.screenshot("properties-group-" + name, dialog)
        self.after_keys(dialog, "Up", "Up", "Up")
        self.display.screenshot("properties-group-wallpaper", dialog)
        looks.append(self.after_keys(dialog, "ctrl+Tab"))
        self.display.screenshot("properties-page-style", dialog)
        looks.append(self.after_keys(dialog, "ctrl+Tab"))
        self.display.screenshot("properties-page-version", dialog)
        self.assertEqual(len(set(looks)), 4)
        self.close_with(dialog, CANCEL)
        self.assertIsNone(proc.poll())
        self.assertEqual(self.veska.messages(proc), [])
        self.exit_veska(proc)

    def test_an_entry_added_through_the_file_dialog_is_stored_and_launched_after_apply(self):
        added = self.mark_program(os.path.join(self.veska.root, "apps", "added.sh"))
        proc = self.start_current(self.config())
        dialog = self.open_dialog()
        self.screen.focus_keys(dialog, "alt+a")  # "追加(&A)...": Apply is still disabled
        self.shoot("アプリケーションの追加", "properties-add-file-dialog")
        self.choose_file("アプリケーションの追加", added)
        self.shoot(INPUT, "properties-add-name")
        self.accept_name()
        self.press(dialog, APPLY)
        wait_for(lambda: self.veska.read_config().get("MenuPath", {}).get("Item0") == added, "the entry in the file")
        config = self.veska.read_config()
        self.assertEqual(config["MenuCaption"], {"Item0": "added の起動", "Item1": "最初"})
        self.assertEqual(config["MenuPath"]["Item1"], self.program)
        self.assertEqual(config["ItemCount"]["ItemNumber"], "2")
        raw = read_bytes(self.veska.config)
        self.assertEqual(raw.count(b"\n"), raw.count(b"\r\n"))
        self.assertTrue(read_bytes(self.veska.settings).startswith(b"REGEDIT4\r\n"))

        # The tray has the new menu while the dialog is still open; no row was selected, so it came first.
        self.look(self.screen.open_menu(1)[0])
        self.display.screenshot("properties-add-launch-menu")
        self.screen.choose(1)
        wait_for(lambda: self.marked() == [added], "the added program to run")
        self.close_with(dialog, OK)
        self.screen.pop_and_choose(1, 2)
        wait_for(lambda: self.marked() == [added, self.program], "the first program, now second")
        self.assertEqual(self.veska.messages(proc), [])
        self.exit_veska(proc)

    def test_cancel_after_an_edit_leaves_both_stores_and_the_launch_menu_as_they_were(self):
        proc = self.start_current(self.config())
        stores = [read_bytes(self.veska.config), read_bytes(self.veska.settings)]
        menu = self.launch_menu_size()
        dialog = self.open_dialog()
        self.after_keys(dialog, "alt+p")  # "セパレータ(&P)" adds a row
        self.display.screenshot("properties-cancel-edited", dialog)
        self.close_with(dialog, CANCEL)
        self.assertEqual([read_bytes(self.veska.config), read_bytes(self.veska.settings)], stores)
        self.assertEqual(self.launch_menu_size(), menu)
        self.screen.pop_and_choose(1, 1)
        wait_for(lambda: self.marked() == [self.program], "the program to run")
        self.exit_veska(proc)

    def test_first_start_opens_the_dialog_on_the_four_defaults_and_ok_keeps_them(self):
        self.veska.write_settings({"": {"Version": "0.27"}})
        proc = self.veska.start()
        dialog = self.shoot(DIALOG, "properties-first-start")
        written = self.veska.read_config()
        self.assertEqual([written["MenuCaption"]["Item%d" % i] for i in range(4)], DEFAULT_CAPTIONS)
        self.assertNotIn("WallNumber", written["ItemCount"])
        # OK applies the dialog's own rows: an empty list would be refused with a warning instead.
        self.press(dialog, OK)
        wait_for(lambda: self.screen.window(DIALOG) is None or self.veska.messages(proc), "the dialog to close")
        self.assertEqual(self.veska.messages(proc), [])
        config = self.veska.read_config()
        self.assertEqual(config["ItemCount"], {"ItemNumber": "4", "WallNumber": "0", "TempNumber": "1"})
        self.assertEqual([config["MenuCaption"]["Item%d" % i] for i in range(4)], DEFAULT_CAPTIONS)
        self.assertEqual([config["MenuName"]["Item%d" % i] for i in range(4)], ["P1", "P2", "P4", "P3"])
        self.assertEqual(config["TempFolder"], {"PathItem0": self.veska.tmp})
        self.exit_veska(proc)

    def test_a_wallpaper_and_a_new_temporary_folder_added_on_the_tools_page_work_from_the_tray(self):
        wall = os.path.join(self.veska.root, "green.bmp")
        write_bmp(wall, 64, 48, GREEN)
        temp = os.path.join(self.veska.root, "made", "temp")
        proc = self.start_current(self.config())

        dialog = self.open_dialog()
        # The wallpaper tool: onto the menu, then a picture through its chooser.
        self.screen.focus_keys(dialog, "ctrl+Tab", "Tab", "Down", "Up", "Tab", "space")
        self.press(dialog, TOOL_ADD)
        self.choose_file("Wall-paper の追加", wall)
        self.accept_name()
        self.close_with(dialog, OK)
        wait_for(lambda: self.veska.read_config().get("WallPath") == {"Item0": wall}, "the wallpaper in the file")

        # Reopened, the dialog loads the wallpaper back; its OK must keep it.
        dialog = self.open_dialog()
        self.screen.focus_keys(dialog, "ctrl+Tab", "Tab", "Down", "Down", "Down", "Tab", "space")
        self.press(dialog, TOOL_ADD)
        self.choose_file("テンポラリフォルダの追加", temp)
        box = self.shoot("確認", "properties-temp-question")
        self.veska.wait_message("指定されたディレクトリが存在しません。作成しますか？")
        self.screen.focus_keys(box, "Return")
        wait_for(lambda: os.path.isdir(temp), "the folder to be made")
        self.screen.wait_no_window("確認")
        self.look(dialog)
        self.display.screenshot("properties-temp-added", dialog)
        self.close_with(dialog, OK)
        config = self.veska.read_config()
        self.assertEqual(config["TempFolder"], {"PathItem0": temp})
        self.assertEqual(config["WallPath"], {"Item0": wall})
        self.assertEqual([config["MenuName"]["Item%d" % i] for i in range(3)], ["Null", "P1", "P4"])

        self.screen.open_menu(1)
        self.screen.keys("Down", "Down", "Right")
        menus = wait_for(lambda: (lambda found: found if len(found) == 2 else None)(
            [w for w, _, _, _, width, _ in self.screen.veska_windows() if width > 32 and self.screen.is_popup(w)]),
            "the wallpaper submenu")
        for menu in menus:
            self.look(menu)
        self.display.screenshot("properties-wallpaper-submenu")
        self.screen.keys("Down", "Return")  # past the toggle and the separator: the wallpaper
        self.screen.wait_no_menu()
        wait_for(lambda: self.display.pixel(400, 300) == GREEN and self.display.pixel(10, 300) != GREEN,
                 "the centred green wallpaper")

        with open(os.path.join(temp, "junk.tmp"), "w") as f:
            f.write("x")
        self.screen.pop_and_choose(1, 3)  # "テンポラリファイルの削除", enabled now it holds a file
        box = self.screen.wait_window("確認")
        self.screen.focus_keys(box, "Return")
        wait_for(lambda: os.listdir(temp) == [], "the folder to be emptied")
        self.assertEqual(self.marked(), [])
        self.exit_veska(proc)

    def test_an_icon_and_the_swapped_buttons_take_effect_on_apply(self):
        ico = os.path.join(self.veska.root, "red.ico")
        write_ico(ico, RED)
        proc = self.start_current(self.config())
        dialog = self.open_dialog()
        self.screen.focus_keys(dialog, "ctrl+Tab", "ctrl+Tab", "alt+l")  # "読み込み(&L)..."
        self.shoot("アイコンの変更", "properties-icon-file-dialog")
        self.choose_file("アイコンの変更", ico)
        self.press(dialog, CLICK_SUBMENU)
        self.look(dialog)
        self.display.screenshot("properties-style-edited", dialog)
        self.press(dialog, APPLY)
        wait_for(lambda: self.veska.setting("Style", "Click") == "0", "Click 0 in the settings")
        self.assertEqual(self.veska.setting("Style", "Icon"), ico)
        _, x, y, width, height = self.screen.tray_icon()
        wait_for(lambda: self.display.pixel(x + width // 2, y + height // 2) == RED, "the red icon in the tray")
        self.display.screenshot("properties-style-applied")
        self.close_with(dialog, OK)

        self.screen.pop_and_choose(3, 1)  # the right button now pops the launch menu
        wait_for(lambda: self.marked() == [self.program], "the program to run")
        self.right_is_command = False
        self.exit_veska(proc)  # through the left button


if __name__ == "__main__":
    unittest.main()
