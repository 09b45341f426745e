#!/usr/bin/env python3
"""Takes the screenshots that the AppStream metadata shows, from the built program: the launch
menu popped from the tray icon and the properties dialog, on a virtual display with trayer and
openbox. Writes data/screenshots/launch-menu.png and properties.png.

usage: python3 scripts/screenshots.py [BUILD]   (BUILD defaults to build/)
"""
import os
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
if len(sys.argv) > 1:
    os.environ["VESKA_BUILD"] = os.path.abspath(sys.argv[1])
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from harness import Display, Screen, Veska, wait_for, write_bmp, write_script  # noqa: E402

OUT = os.path.join(ROOT, "data", "screenshots")
WIDTH, HEIGHT = 1024, 768
DESKTOP = (58, 110, 165)
DIALOG = "Veska のプロパティ"


def config(veska):
    apps = os.path.join(veska.root, "apps")
    entries = []
    for caption, name in (("テキストエディタ", "editor"), ("ターミナル", "terminal"), ("電卓", "calc")):
        write_script(os.path.join(apps, name), "exit 0")
        entries.append((caption, "Null", os.path.join(apps, name), "(なし)"))
    notes = os.path.join(veska.root, "メモ.txt")
    open(notes, "w").close()
    entries += [("-", "Null", "Separator", ""), ("メモ", "Null", notes, "(なし)"),
                ("-", "Null", "Separator", "")]
    entries += [(caption, "P%d" % n, "PersonalApplication", "(なし)") for n, caption in
                ((1, "壁紙の変更"), (2, "「最近使ったファイル」の削除"), (4, "テンポラリファイルの削除"),
                 (3, "システム情報..."))]
    wall = os.path.join(veska.root, "desktop.bmp")
    write_bmp(wall, 64, 48, DESKTOP)
    # A temporary folder with a file in it, so that the deletion entry is enabled.
    temp = os.path.join(veska.root, "temp")
    os.makedirs(temp)
    open(os.path.join(temp, "old.tmp"), "w").close()
    lines = ["[ItemCount]", "ItemNumber=%d" % len(entries), "WallNumber=1", "TempNumber=1"]
    for section, field in (("MenuCaption", 0), ("MenuName", 1), ("MenuPath", 2), ("MenuSound", 3)):
        lines.append("[%s]" % section)
        lines += ["Item%d=%s" % (i, e[field]) for i, e in enumerate(entries)]
    lines += ["[WallCaption]", "Item0=青空", "[WallPath]", "Item0=" + wall, "[WallStyle]", "Item0=0",
              "[TempFolder]", "PathItem0=" + temp]
    return "\n".join(lines) + "\n"


def settle(display, window):
    """Waits until the window is painted and holds still across two grabs."""
    seen = [None]

    def still():
        now = display.grab(window)
        same, seen[0] = now == seen[0], now
        return same and len({now[i:i + 3] for i in range(0, len(now), 21)}) > 8
    wait_for(still, "window %s to be painted" % window)


def crop_screen(display, name, x, y, width, height):
    """Saves a region of the screen, without the time stamps that would make every run differ."""
    os.makedirs(OUT, exist_ok=True)
    x = max(0, min(x, WIDTH - width))
    y = max(0, min(y, HEIGHT - height))
    path = os.path.join(OUT, name + ".png")
    subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y), "+repage",
                    "-strip", "-define", "png:exclude-chunks=date,time", path],
                   env=display.env, check=True)
    print("wrote", os.path.relpath(path, ROOT))


def main():
    display = Display()
    veska = None
    try:
        display.start(WIDTH, HEIGHT)
        display.procs.append(subprocess.Popen(["openbox"], env=display.env, stdout=subprocess.DEVNULL,
                                              stderr=subprocess.DEVNULL))
        veska = Veska(display)
        screen = Screen(display)
        veska.write_config(config(veska))
        # The automatic change sets the one wallpaper at start: the desktop behind the shots.
        veska.write_settings({"": {"Version": "0.27"}, "Wall_paper": {"Change": "1", "Means": "1"}})
        veska.start()
        screen.wait_icon()
        wait_for(lambda: display.pixel(10, HEIGHT - 10) == DESKTOP, "the tiled wallpaper")

        menu, x, y, w, h = screen.open_menu(1)
        settle(display, menu)
        crop_screen(display, "launch-menu", WIDTH - 640, 0, 640, 360)
        screen.keys("Escape")
        screen.wait_no_menu()

        screen.pop_and_choose(3, 1)  # "Veska のプロパティ(&R)..."
        dialog = screen.wait_window(DIALOG)
        settle(display, dialog)
        x, y, w, h = display.geometry(dialog)
        # 16:9 around the dialog and its window frame.
        crop_screen(display, "properties", x + w // 2 - 462, y + h // 2 - 270, 924, 520)
        screen.focus_keys(dialog, "Escape")
        screen.wait_no_window(DIALOG)
    finally:
        if veska:
            veska.cleanup()
        display.stop()


if __name__ == "__main__":
    main()
