// The settings as the program uses them: the three lists of the configuration file and the
// options of the settings key, read and written with the list rules in one place.
#pragma once
#include <vector>

#include "store/ConfigFile.h"
#include "store/SettingsKey.h"

namespace veska {

// One row of the launch list. A separator is caption "-", name "Null", path "Separator" and an
// empty sound; a personal application has path "PersonalApplication" and a name "P1".."P4".
struct LaunchEntry {
    Bytes caption, name, path, sound;
    bool operator==(const LaunchEntry&) const = default;
};

struct WallpaperEntry {
    Bytes caption, path;
    bool centred = false;
    bool operator==(const WallpaperEntry&) const = default;
};

// Readers take the count modulo 256 and read positions 0..count-1; a missing key repeats the
// value read for the previous position (position 0: empty). Values come whole (up to 2047
// bytes); the menu builder cuts them itself.
std::vector<LaunchEntry> ReadLaunchList(ConfigFile& ini);
// firstCentred: the display position of a wallpaper at position 0 whose "WallStyle" is missing
// (the menu builder takes centred, the properties dialog tiled).
std::vector<WallpaperEntry> ReadWallpaperList(ConfigFile& ini, bool firstCentred);
std::vector<Bytes> ReadTempFolderList(ConfigFile& ini);

// The whole rewrite of Apply: the eight list sections erased, the three counts written, then the
// launch rows, the wallpapers and the folders in order. An empty list leaves its sections absent.
void WriteLists(ConfigFile& ini, const std::vector<LaunchEntry>& launch,
                const std::vector<WallpaperEntry>& wallpapers, const std::vector<Bytes>& tempFolders);

// The options of the settings key, with the defaults of a missing value.
struct Options {
    bool change = false;  // "Wall_paper" "Change"
    bool means = false;   // "Wall_paper" "Means": in list order
    bool tempDlg = true;  // "Check" "TempDlg"
    bool click = true;    // "Style" "Click": the left button pops the launch menu
    Bytes swpFile;        // "Style" "SWPFile"
    Bytes icon;           // "Style" "Icon"
    bool operator==(const Options&) const = default;
};

// What the properties dialog reads: every option that can be read. One of another type than text
// does not stop the others; it takes what it holds where that can be had (the number of a
// "dword:" value, a boolean being true when it is not 0), else its default, and is named in
// unread. failure: the first such value's "'%s' のデータ型が不正です", empty when none.
struct OptionsRead {
    Options options;
    std::vector<Bytes> unread;
    Bytes failure;
};
OptionsRead ReadOptions(SettingsKey& key);
// Writes in Apply's order: "Change", "Means", "Order" (always 2), "TempDlg", "Icon", "Click",
// "SWPFile".
void WriteOptions(SettingsKey& key, const Options& options);

}  // namespace veska
