// The cleanup tools: the recent-documents list and the temporary folders; the system window.
#include "Resource/Resource.h"
#include "Unit0/Main.h"
#include "Unit0/TempFolders.h"
#include "store/ConfigFile.h"
#include "store/Names.h"
#include "store/Settings.h"
#include "store/SettingsKey.h"
#include "text/Codec.h"

namespace veska {

void TMain::RecentDel(TObject*) { p_.recent->ClearRecent(); }

void TMain::Resource(TObject*) { ShowSystemInformation(p_); }

void TMain::TempDel(TObject* Sender) {
    bool ask;
    {
        SettingsKey key(*p_.files, SettingsPath(), names::VeskaKey);
        ask = key.ReadBool(names::Check, names::TempDlg, true);
        key.Close();
    }
    if (ask && p_.desktop->MessageBox(sj("テンポラリフォルダ内のファイルを削除してもよろしいですか?"), sj("確認"),
                                      MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    SubTempDel(Sender);
}

void TMain::SubTempDel(TObject*) {
    std::vector<Bytes> listed, folders;
    {
        ConfigFile ini(*p_.files, ConfigPath());
        listed = ReadTempFolderList(ini);
        ini.Close();
    }
    for (Bytes& folder : listed)
        if (SearchableTempFolder(folder)) folders.push_back(std::move(folder));
    p_.files->DeletePlainFiles(folders);  // failures are passed over; files in use stay
}

}  // namespace veska
