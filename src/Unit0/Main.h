// TMain: the hidden resident form. It owns the tray icon, the command menu and the launch
// menu, decides the start-up path, builds the menus from the stores and runs the desktop tools.
#pragma once
#include <cstdint>
#include <vector>

#include "TrayIcon/TrayIcon.h"
#include "platform/Platform.h"
#include "store/Names.h"
#include "vcl/Component.h"
#include "vcl/Menus.h"

namespace veska {

class TMain : public TComponent {
public:
    // Loads the form's components (the tray icon registers its built-in icon here); an error
    // escaping this constructor is the fatal start-up error.
    explicit TMain(Platform& platform);
    ~TMain() override;

    TTrayIcon* TrayIcon1 = nullptr;
    TPopupMenu* PopupMenu2 = nullptr;
    TMenuItem* Veska1 = nullptr;
    TMenuItem* Veska2 = nullptr;

    void FormCreate(TObject* Sender);
    void Veska2Click(TObject* Sender);
    void Veska1Click(TObject* Sender);
    void FirstStart(TObject* Sender);
    void VerUP(TObject* Sender);
    void IniRead(TObject* Sender);
    void MyPopupHandler(TObject* Sender);
    void MyPopUpPopUp(TObject* Sender);
    void RecentDel(TObject* Sender);
    void Resource(TObject* Sender);
    void WallChange(TObject* Sender);
    void AutoChange(bool InOrder);
    void AutoChangeClick(TObject* Sender);
    void TempDel(TObject* Sender);
    void SubTempDel(TObject* Sender);

    TPopupMenu* LaunchMenu() const { return launchMenu_; }
    const std::vector<Bytes>& LaunchSounds() const { return launchSounds_; }
    uint8_t RecentIndex() const { return recentIndex_; }
    uint8_t WallIndex() const { return wallIndex_; }
    uint8_t TempIndex() const { return tempIndex_; }
    // False once FormCreate told the application not to show the main form.
    bool ShowMainForm() const { return showMainForm_; }
    // True once the exit command closed the form (even from inside a dialog's modal loop).
    bool Closed() const { return closed_; }
    // The properties dialog runs through this, so tests can stand in for it.
    std::function<void(TMain&)> ShowPropertiesDialog;

    Bytes ConfigPath() const;
    Bytes SettingsPath() const;

private:
    void BuildMenus(TObject* Sender);
    void BindMenus(bool click);
    void ApplyWallpaperItem(TMenuItem& item);
    TMenuItem* WallSubmenu() const;
    void BuildWallpaperSubmenu(TMenuItem& parent, class ConfigFile& ini);

    Platform& p_;
    TPopupMenu* launchMenu_ = nullptr;
    std::vector<Bytes> launchSounds_;
    uint8_t recentIndex_ = names::NoPosition, wallIndex_ = names::NoPosition, tempIndex_ = names::NoPosition;
    bool showMainForm_ = true;
    bool closed_ = false;
};

}  // namespace veska
