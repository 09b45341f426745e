// Section, key and value names of the two stores.
#pragma once
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

inline Bytes ItemKey(int i) { return Item + std::to_string(i); }
inline Bytes PathItemKey(int i) { return PathItem + std::to_string(i); }

}  // namespace veska::names
