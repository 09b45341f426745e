// Building the launch menu from the stores, and the check that runs before it pops up.
#include "Unit0/Main.h"
#include "Unit0/TempFolders.h"
#include "store/ConfigFile.h"
#include "store/Names.h"
#include "store/Settings.h"
#include "store/SettingsKey.h"
#include "text/Codec.h"
#include "vcl/Graphics.h"

namespace veska {

namespace {
constexpr std::size_t MaxText = 255;

Bytes cut(const Bytes& text) { return cutBytes(text, MaxText); }
}  // namespace

TMenuItem* TMain::WallSubmenu() const {
    if (wallIndex_ == names::NoPosition || !launchMenu_ || wallIndex_ >= launchMenu_->Items()->Count()) return nullptr;
    return launchMenu_->Items()->Items(wallIndex_);
}

void TMain::IniRead(TObject* Sender) {
    try {
        BuildMenus(Sender);
    } catch (...) {
        // The old launch menu is gone: whatever failed, the tray pops the new one, never a
        // destroyed menu, and the buttons keep their stored roles where they can be read.
        bool click = true;
        try {
            SettingsKey key(*p_.files, SettingsPath(), names::VeskaKey);
            click = key.ReadBool(names::Style, names::Click, true);
        } catch (const std::exception&) {
        }
        BindMenus(click);
        throw;
    }
}

void TMain::BindMenus(bool click) {
    if (click) {
        TrayIcon1->LBPopupMenu = launchMenu_;
        TrayIcon1->RBPopupMenu = PopupMenu2;
    } else {
        TrayIcon1->LBPopupMenu = PopupMenu2;
        TrayIcon1->RBPopupMenu = launchMenu_;
    }
}

void TMain::BuildMenus(TObject*) {
    delete launchMenu_;
    launchMenu_ = nullptr;
    launchSounds_.clear();

    launchMenu_ = new TPopupMenu(this);
    launchMenu_->OnPopup = [this](TObject* s) { MyPopUpPopUp(s); };
    recentIndex_ = wallIndex_ = tempIndex_ = names::NoPosition;

    {
        ConfigFile ini(*p_.files, ConfigPath());
        const std::vector<LaunchEntry> rows = ReadLaunchList(ini);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Bytes name = cut(rows[i].name);
            auto* item = new TMenuItem(this);
            launchSounds_.push_back(cut(rows[i].sound));
            launchMenu_->Items()->Add(item);
            item->Caption = cut(rows[i].caption);
            item->Hint = cut(rows[i].path);
            item->OnClick = [this](TObject* s) { MyPopupHandler(s); };
            if (name != names::Null) item->SetName(name);
            if (name == names::P4)
                tempIndex_ = static_cast<uint8_t>(i);
            else if (name == names::P2)
                recentIndex_ = static_cast<uint8_t>(i);
            else if (name == names::P1)
                wallIndex_ = static_cast<uint8_t>(i);
        }
        if (TMenuItem* parent = WallSubmenu()) BuildWallpaperSubmenu(*parent, ini);
        ini.Close();
    }

    bool change, means, click;
    Bytes icon;
    {
        SettingsKey key(*p_.files, SettingsPath(), names::VeskaKey);
        change = key.ReadBool(names::Wall_paper, names::Change, false);
        means = key.ReadBool(names::Wall_paper, names::Means, false);
        icon = cutBytes(key.ReadString(names::Style, names::Icon, ""), MaxText);
        click = key.ReadBool(names::Style, names::Click, true);
        key.Close();
    }

    if (change && wallIndex_ != names::NoPosition) AutoChange(means);
    if (TMenuItem* parent = WallSubmenu()) {
        TMenuItem* toggle = parent->Items(0);
        toggle->Caption = means ? sj("起動毎に壁紙を変更 [順番] (&C)") : sj("起動毎に壁紙を変更 [ランダム] (&C)");
        toggle->SetChecked(change);
    }
    if (!icon.empty()) {
        TIcon loaded;
        loaded.LoadFromFile(*p_.files, icon);
        TrayIcon1->SetIcon(&loaded);
    }
    BindMenus(click);
}

void TMain::BuildWallpaperSubmenu(TMenuItem& parent, ConfigFile& ini) {
    const std::vector<WallpaperEntry> walls = ReadWallpaperList(ini, true);
    auto* toggle = new TMenuItem(this);
    toggle->Caption = sj("起動毎に壁紙を変更(&C)");
    toggle->OnClick = [this](TObject* s) { AutoChangeClick(s); };
    parent.Add(toggle);
    auto* line = new TMenuItem(this);
    line->Caption = "-";
    parent.Add(line);
    if (walls.empty()) {
        auto* none = new TMenuItem(this);
        none->Caption = names::None;
        none->Enabled = false;
        parent.Add(none);
        return;
    }
    for (const WallpaperEntry& wall : walls) {
        auto* item = new TMenuItem(this);
        item->Caption = cut(wall.caption);
        item->Hint = cut((wall.centred ? "0" : "1") + cut(wall.path));
        item->RadioItem = true;
        item->GroupIndex = 1;
        item->OnClick = [this](TObject* s) { WallChange(s); };
        parent.Add(item);
    }
}

void TMain::MyPopUpPopUp(TObject*) {
    if (!launchMenu_) return;
    TMenuItem* items = launchMenu_->Items();
    if (recentIndex_ != names::NoPosition && recentIndex_ < items->Count())
        items->Items(recentIndex_)->Enabled = p_.recent->AnyRecent();
    if (tempIndex_ == names::NoPosition || tempIndex_ >= items->Count()) return;
    TMenuItem* temp = items->Items(tempIndex_);
    ConfigFile ini(*p_.files, ConfigPath());
    const std::vector<Bytes> folders = ReadTempFolderList(ini);
    ini.Close();
    for (const Bytes& folder : folders) {
        const bool found = SearchableTempFolder(folder) && p_.files->HoldsPlainFile(folder);
        temp->Enabled = found;
        if (found) break;
    }
}

}  // namespace veska
