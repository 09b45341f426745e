// The start-up decision, the first start and the settings upgrade.
#include "Unit0/Main.h"
#include "store/ConfigFile.h"
#include "store/Names.h"
#include "store/SettingsKey.h"
#include "text/Codec.h"

namespace veska {

namespace {
const Bytes CurrentVersion = "0.27";
}

void TMain::FormCreate(TObject* Sender) {
    int n;
    {
        ConfigFile ini(*p_.files, ConfigPath());
        n = ini.ReadInteger(names::ItemCount, names::ItemNumber, 0);  // the full count, not modulo 256
        ini.Close();
    }
    Bytes version;
    {
        SettingsKey key(*p_.files, SettingsPath(), names::VeskaKey);
        version = key.ReadString("", names::Version, "");
        key.Close();
    }
    if (version.substr(0, 4) != CurrentVersion) n = -1;
    if (n == -1)
        VerUP(Sender);
    else if (n == 0)
        FirstStart(Sender);
    else
        IniRead(Sender);
    showMainForm_ = false;
}

void TMain::FirstStart(TObject* Sender) {
    static const int defaults[] = {1, 2, 4, 3};  // the tools, by the digit of their names
    {
        ConfigFile ini(*p_.files, ConfigPath());
        ini.WriteInteger(names::ItemCount, names::TempNumber, 1);
        ini.WriteString(names::TempFolder, names::PathItemKey(0), p_.paths->DefaultTempFolder());
        ini.WriteInteger(names::ItemCount, names::ItemNumber, 4);
        for (int i = 0; i < 4; ++i) {
            const Bytes key = names::ItemKey(i);
            ini.WriteString(names::MenuCaption, key, sj(names::PersonalCaptions[defaults[i] - 1]));
            ini.WriteString(names::MenuName, key, names::PersonalName(defaults[i]));
            ini.WriteString(names::MenuPath, key, names::PersonalApplication);
            ini.WriteString(names::MenuSound, key, names::None);
        }
        ini.Close();
    }
    VerUP(Sender);
}

void TMain::VerUP(TObject* Sender) {
    {
        SettingsKey key(*p_.files, SettingsPath(), names::VeskaKey);
        key.WriteString(names::Wall_paper, names::Change, "0");
        key.WriteString(names::Wall_paper, names::Means, "1");
        key.WriteString(names::Wall_paper, names::Order, "2");
        key.WriteString(names::Style, names::Click, "1");
        key.WriteString(names::Style, names::SWPFile, p_.paths->DefaultSwapFile());
        key.WriteString("", names::Version, CurrentVersion);
        key.WriteString("", names::Contents, "4");
        key.Close();
    }
    IniRead(Sender);
    Veska1Click(Sender);
}

}  // namespace veska
