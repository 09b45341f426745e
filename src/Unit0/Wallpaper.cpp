// The wallpaper submenu's tools: set a wallpaper, the automatic change, the toggle.
#include <random>

#include "Unit0/Main.h"
#include "store/Names.h"
#include "store/SettingsKey.h"
#include "text/Codec.h"
#include "vcl/Exception.h"

namespace veska {

void TMain::ApplyWallpaperItem(TMenuItem& item) {
    const bool tiled = item.Hint.empty() || item.Hint[0] != '0';
    {
        SettingsKey desk(*p_.files, SettingsPath(), names::ControlPanelKey);
        desk.WriteString(names::Desktop, names::TileWallpaper, tiled ? "1" : "0");
        desk.Close();
    }
    const Bytes path = item.Hint.size() > 1 ? cutBytes(item.Hint.substr(1), 255) : Bytes();
    item.SetChecked(true);
    (void)p_.wallpaper->SetDeskWallpaper(path, tiled);  // checked and stored whether or not it took
}

void TMain::WallChange(TObject* Sender) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item) throw Exception(sj("無効なクラス型キャストです"));
    ApplyWallpaperItem(*item);
}

void TMain::AutoChange(bool InOrder) {
    TMenuItem* sub = WallSubmenu();
    if (!sub) return;
    const int count = sub->Count();
    int position;
    if (InOrder) {
        SettingsKey key(*p_.files, SettingsPath(), names::VeskaKey);
        const int64_t next = static_cast<int64_t>(key.ReadInteger(names::Wall_paper, names::Order, 2)) + 1;
        position = (next < 2 || next >= count) ? 2 : static_cast<int>(next);
        key.WriteInteger(names::Wall_paper, names::Order, position);
        key.Close();
    } else {
        std::mt19937 random(p_.clock->TimeOfDaySeed());
        position = 2 + std::uniform_int_distribution<int>(0, count - 3)(random);
    }
    ApplyWallpaperItem(*sub->Items(position));
}

void TMain::AutoChangeClick(TObject*) {
    TMenuItem* sub = WallSubmenu();
    if (!sub) return;
    SettingsKey key(*p_.files, SettingsPath(), names::VeskaKey);
    TMenuItem* toggle = sub->Items(0);
    toggle->SetChecked(!toggle->Checked());
    key.WriteBool(names::Wall_paper, names::Change, toggle->Checked());
    key.Close();
}

}  // namespace veska
