// The properties dialog's frame: the working copy loaded from the stores and written back by
// Apply and OK, closing, the page change with MenuChange, and the change tracking.
#include "Unit1/Form1.h"

#include <algorithm>

#include "Unit1/ListRows.h"
#include "Unit2/InputDlg.h"
#include "store/Names.h"
#include "store/Settings.h"
#include "text/Codec.h"
#include "vcl/Exception.h"

namespace veska {

void TForm1::Track(Edit edit) {
    switch (edit) {
    case Edit::Changed:
        Button20->setEnabled(true);
        break;
    case Edit::MenuFilled:
        Button20->setEnabled(true);
        Button7->setEnabled(true);
        break;
    case Edit::MenuEmptied:
        Button20->setEnabled(false);
        Button7->setEnabled(false);
        break;
    case Edit::ToolSwitched:
        Button20->setEnabled(ListBox1->count() > 0);
        Button7->setEnabled(ListBox1->count() > 0);
        break;
    case Edit::CheckMarkClicked:
        Button20->setEnabled(Button7->isEnabled());
        break;
    case Edit::Saved:
        Button20->setEnabled(false);
        break;
    }
}

void TForm1::FormCreate() {
    // The input dialog, one for this opening.
    InputDlg = new TInputDlg(this);
    RefuseLineBreaks(InputDlg->Edit1);
    LoadLists();
    // The tools' marks follow the menu rows alone.
    PAppli();
    const Bytes failure = LoadOptions();
    // Loading ran the handlers of the boxes it set: a fresh dialog counts as unchanged.
    Track(Edit::Saved);
    // Told only now, with every option that could be read in place: OK keeps them.
    if (!failure.empty()) throw ERegistryException(failure);
}

void TForm1::LoadLists() {
    ConfigFile ini(*p_.files, p_.paths->ConfigFile());
    for (const LaunchEntry& e : ReadLaunchList(ini))
        InsertMenuRow(ListBox1->count(), e.path == names::Separator ? SeparatorLine : e.caption, e.name, e.path,
                      e.sound);
    for (const WallpaperEntry& w : ReadWallpaperList(ini, false)) {
        ListBox2->addItem(NewRow(w.caption));
        WallPathList.push_back(w.path);
        WallStyleList.push_back(w.centred ? "True" : "False");
    }
    for (const Bytes& folder : ReadTempFolderList(ini)) {
        ListBox3->addItem(NewRow(folder));
    }
    ini.Close();
}

Bytes TForm1::LoadOptions() {
    OptionsRead r;
    {
        SettingsKey key(*p_.files, p_.paths->SettingsFile(), names::VeskaKey);
        r = ReadOptions(key);
        key.Close();
    }
    const Options& o = r.options;
    SetCheckBox(CheckBox1, o.change);
    // A "Change" that could not be read says nothing of the order, which is shown to be kept.
    const bool changeUnread = std::find(r.unread.begin(), r.unread.end(), names::Change) != r.unread.end();
    if (o.change || changeUnread) SelectRadio(o.means ? RadioButton1 : RadioButton2);
    CheckBox1Click();
    SetCheckBox(CheckBox2, o.tempDlg);
    SelectRadio(o.click ? RadioButton3 : RadioButton4);
    SetField(Edit4, o.swpFile);
    Image1Hint = o.icon;
    return r.failure;
}

void TForm1::Button20Click() {
    MenuChange();
    if (ListBox1->count() == 0) {
        p_.desktop->MessageBox(sj("意味ないじゃん！"), sj("警告"), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    std::vector<LaunchEntry> launch;
    for (int i = 0; i < ListBox1->count(); ++i)
        launch.push_back({PathList[i] == names::Separator ? Bytes("-") : Caption(ListBox1, i), NameList[i],
                          PathList[i], SoundList[i]});
    std::vector<WallpaperEntry> walls;
    for (int j = 0; j < ListBox2->count(); ++j)
        walls.push_back({Caption(ListBox2, j), WallPathList[j], WallStyleList[j] == "True"});
    std::vector<Bytes> folders;
    for (int k = 0; k < ListBox3->count(); ++k) folders.push_back(Caption(ListBox3, k));

    // A swap-file path Shift-JIS cannot hold is refused as a failed write is: the dialog stays.
    const Bytes shownSwp = Edit4->property("bytes").toByteArray().toStdString();
    std::optional<Bytes> swp = Edit4->text() == Widen(shownSwp) ? shownSwp : fromUtf8(Edit4->text().toStdString());
    if (!swp) throw Exception(sj("仮想メモリの位置に Veska で扱えない文字 (シフト JIS にない文字) が含まれています"));

    {
        ConfigFile ini(*p_.files, p_.paths->ConfigFile());
        WriteLists(ini, launch, walls, folders);
        ini.Close();
    }
    {
        SettingsKey key(*p_.files, p_.paths->SettingsFile(), names::VeskaKey);
        Options o;
        o.change = CheckBox1->isChecked();
        o.means = RadioButton1->isChecked();
        o.tempDlg = CheckBox2->isChecked();
        o.icon = Image1Hint;
        o.click = RadioButton3->isChecked();
        o.swpFile = *swp;
        WriteOptions(key, o);
        key.Close();
    }
    if (reread_) reread_();
    Track(Edit::Saved);
}

void TForm1::Button7Click() {
    Button20Click();  // an error raised here keeps the dialog open
    close();
}

void TForm1::Button8Click() { close(); }

// Every way of closing (OK, Cancel, the close box, Escape) ends here.
void TForm1::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TForm1::FormClose() {
    if (!InputDlg) return;
    InputDlg->deleteLater();
    InputDlg = nullptr;
}

void TForm1::PageControl1Change() {
    if (PageControl1->currentWidget() == TabSheet2) {
        const bool apply = Button20->isEnabled(), ok = Button7->isEnabled();
        PAppli();
        SetCheckBox(CheckBox5, CheckListBox1->item(0)->checkState() == Qt::Checked);
        CheckBox5Click();
        if (!apply) Button20->setEnabled(false);
        if (!ok) Button7->setEnabled(false);
    }
    MenuChange();
}

void TForm1::MenuChange() {
    for (int k = 1; k <= 4; ++k) {
        const Bytes name = names::PersonalName(k);
        int i = -1;
        for (std::size_t r = 0; r < NameList.size(); ++r)
            if (NameList[r] == name) {
                i = static_cast<int>(r);
                break;
            }
        const bool checked = CheckListBox1->item(k - 1)->checkState() == Qt::Checked;
        if (checked && i == -1)
            InsertMenuRow(ListBox1->count(), sj(names::PersonalCaptions[k - 1]), name, names::PersonalApplication,
                          names::None);
        else if (!checked && i != -1)
            DeleteMenuRow(i);
    }
}

}  // namespace veska
