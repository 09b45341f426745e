#include "Unit0/Main.h"

#include "Unit1/Form1.h"
#include "vcl/ErrorBox.h"
#include "text/Codec.h"

namespace veska {

TMain::TMain(Platform& platform) : TComponent(nullptr), p_(platform) {
    SetName("Main");
    BeginLoading();
    // The form's components as its design holds them.
    TrayIcon1 = new TTrayIcon(this, p_);
    TrayIcon1->BeginLoading();
    TrayIcon1->SetName("TrayIcon1");
    PopupMenu2 = new TPopupMenu(this);
    PopupMenu2->SetName("PopupMenu2");
    Veska1 = new TMenuItem(this);
    Veska1->SetName("Veska1");
    Veska1->Caption = sj("Veska のプロパティ(&R)...");
    Veska1->OnClick = [this](TObject* s) { Veska1Click(s); };
    PopupMenu2->Items()->Add(Veska1);
    Veska2 = new TMenuItem(this);
    Veska2->SetName("Veska2");
    Veska2->Caption = sj("Veska の終了(&X)");
    Veska2->OnClick = [this](TObject* s) { Veska2Click(s); };
    PopupMenu2->Items()->Add(Veska2);

    TIcon builtIn;
    builtIn.SetImage(BuiltInIcon());
    TrayIcon1->SetIcon(&builtIn);
    TrayIcon1->RBPopupMenu = PopupMenu2;
    TrayIcon1->SetTipHelp("Veska Version " VESKA_VERSION);
    TrayIcon1->SetVisible(true);

    // The form description is read: the tray icon registers itself now.
    TrayIcon1->Loaded();
    Loaded();
    ShowPropertiesDialog = [](TMain& m) {
        RunPropertiesDialog(m.p_, m.TrayIcon1->Icon(), [&m] { m.IniRead(&m); });
    };
}

TMain::~TMain() {
    // Components go in reverse creation order; the tray icon leaves the tray with them.
    launchMenu_ = nullptr;
}

Bytes TMain::ConfigPath() const { return p_.paths->ConfigFile(); }
Bytes TMain::SettingsPath() const { return p_.paths->SettingsFile(); }

void TMain::Veska2Click(TObject*) {
    closed_ = true;
    p_.desktop->Quit();
}

void TMain::Veska1Click(TObject*) {
    Veska1->Enabled = false;
    struct Reenable {
        TMenuItem* item;
        ~Reenable() { item->Enabled = true; }
    } reenable{Veska1};
    if (ShowPropertiesDialog) ShowPropertiesDialog(*this);
}

}  // namespace veska
