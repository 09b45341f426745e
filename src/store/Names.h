// Section, key and value names of the two stores.
#pragma once
#include <cstdint>
#include <string>

#include "text/Sjis.h"

namespace veska::names {

// configuration file
inline const Bytes ItemCount = "ItemCount", ItemNumber = "ItemNumber", WallNumber = "WallNumber",
                   TempNumber = "TempNumber";
inline const Bytes MenuCaption = "MenuCaption", MenuName = "MenuName", MenuPath = "MenuPath",
                   MenuSound = "MenuSound";
inline const Bytes WallCaption = "WallCaption", WallPath = "WallPath", WallStyle = "WallStyle";
inline const Bytes TempFolder = "TempFolder";
inline const Bytes Item = "Item", PathItem = "PathItem";

// settings key
inline const Bytes VeskaKey = "Software\\Tollbrae\\Veska";
inline const Bytes Version = "Version", Contents = "Contents";
inline const Bytes Wall_paper = "Wall_paper", Change = "Change", Means = "Means", Order = "Order";
inline const Bytes Style = "Style", Icon = "Icon", Click = "Click", SWPFile = "SWPFile";
inline const Bytes Check = "Check", TempDlg = "TempDlg";
inline const Bytes ControlPanelKey = "Control Panel", Desktop = "Desktop", TileWallpaper = "TileWallpaper";

// marker texts
inline const Bytes Null = "Null", Separator = "Separator", PersonalApplication = "PersonalApplication";
// "(なし)" in CP932: no sound, and the caption of an empty wallpaper submenu.
inline const Bytes None = "(\x82\xC8\x82\xB5)";

// The four personal applications: their names "P1".."P4" and the captions written for them
// (UTF-8, as in our sources), in the order of their names.
inline const Bytes P1 = "P1", P2 = "P2", P3 = "P3", P4 = "P4";
inline const char* const PersonalCaptions[4] = {"壁紙の変更", "「最近使ったファイル」の削除", "システム情報...",
                                                "テンポラリファイルの削除"};
inline Bytes PersonalName(int k) { return "P" + std::to_string(k); }  // k = 1..4

// A list position held in 8 bits: 255 marks none.
constexpr uint8_t NoPosition = 255;

inline Bytes ItemKey(int i) { return Item + std::to_string(i); }
inline Bytes PathItemKey(int i) { return PathItem + std::to_string(i); }

}  // namespace veska::names
