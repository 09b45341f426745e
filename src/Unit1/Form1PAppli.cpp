// The personal applications page: which tools are launch-menu rows, the wallpaper list, the
// temporary folders and the swap-file location.
#include <QSignalBlocker>

#include "Unit1/Form1.h"
#include "Unit1/ListRows.h"
#include "Unit2/InputDlg.h"
#include "store/Names.h"
#include "text/Codec.h"

namespace veska {

namespace {

constexpr int MaxRows = 255;  // positions are 8-bit, and 255 marks "none"

}  // namespace

// A check box or radio button set from code runs its handler as a click would: a check box
// when its state changes, a radio button when it was not selected.
void TForm1::SetCheckBox(QCheckBox* box, bool checked) { box->setChecked(checked); }
void TForm1::SelectRadio(QRadioButton* button) { button->setChecked(true); }

int TForm1::Select2() const {
    const int i = Selected(ListBox2);
    return i < 0 ? 0 : i;
}

// Check marks set from code run no handler.
void TForm1::SetToolMark(int entry, bool on) {
    const QSignalBlocker quiet(CheckListBox1);
    CheckListBox1->item(entry)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void TForm1::PAppli() {
    for (int n = 1; n <= 4; ++n)
        SetToolMark(n - 1, std::find(NameList.begin(), NameList.end(), names::PersonalName(n)) != NameList.end());
}

namespace {
QCheckBox* MenuBoxOf(Ui::TForm1& ui, int entry) {
    QCheckBox* boxes[4] = {ui.CheckBox5, ui.CheckBox4, ui.CheckBox6, ui.CheckBox3};
    return entry >= 0 && entry < 4 ? boxes[entry] : nullptr;
}
}  // namespace

void TForm1::CheckListBox1Click() {
    const int entry = Selected(CheckListBox1);
    if (entry < 0) return;
    QGroupBox* groups[4] = {GroupBox2, GroupBox6, GroupBox7, GroupBox3};
    for (int g = 0; g < 4; ++g) groups[g]->setVisible(g == entry);
    SetCheckBox(MenuBoxOf(*this, entry), CheckListBox1->item(entry)->checkState() == Qt::Checked);
}

void TForm1::CheckListBox1ClickCheck() {
    const int entry = Selected(CheckListBox1);
    if (entry >= 0) SetCheckBox(MenuBoxOf(*this, entry), CheckListBox1->item(entry)->checkState() == Qt::Checked);
    Track(Edit::CheckMarkClicked);
}

void TForm1::CheckBox5Click() {
    const bool on = CheckBox5->isChecked();
    SetToolMark(0, on);
    if (on) {
        for (QWidget* w : std::initializer_list<QWidget*>{ListBox2, Button9, Label1, Edit2, CheckBox1})
            w->setEnabled(true);
        if (Selected(ListBox2) >= 0)
            for (QWidget* w : std::initializer_list<QWidget*>{ComboBox1, Button10, Button11, Button12, Button13})
                w->setEnabled(true);
        if (CheckBox1->isChecked()) {
            RadioButton1->setEnabled(true);
            RadioButton2->setEnabled(true);
            if (!RadioButton1->isChecked() && !RadioButton2->isChecked()) SelectRadio(RadioButton1);
        }
    } else {
        for (QWidget* w : std::initializer_list<QWidget*>{ListBox2, Button9, Button10, Button11, Button12, Button13,
                                                          Label1, ComboBox1, Edit2, CheckBox1, RadioButton1,
                                                          RadioButton2})
            w->setEnabled(false);
    }
    MenuChange();
    Track(Edit::ToolSwitched);
}

void TForm1::CheckBox4Click() {
    SetToolMark(1, CheckBox4->isChecked());
    MenuChange();
    Track(Edit::ToolSwitched);
}

void TForm1::CheckBox6Click() {
    const bool on = CheckBox6->isChecked();
    SetToolMark(2, on);
    for (QWidget* w : std::initializer_list<QWidget*>{Label17, Edit4, Button18}) w->setEnabled(on);
    MenuChange();
    Track(Edit::ToolSwitched);
}

void TForm1::CheckBox3Click() {
    const bool on = CheckBox3->isChecked();
    SetToolMark(3, on);
    for (QWidget* w : std::initializer_list<QWidget*>{ListBox3, Button14, CheckBox2}) w->setEnabled(on);
    Button15->setEnabled(on && Selected(ListBox3) >= 0);
    MenuChange();
    Track(Edit::ToolSwitched);
}

void TForm1::CheckBox1Click() {
    const bool on = CheckBox1->isChecked();
    RadioButton1->setEnabled(on);
    RadioButton2->setEnabled(on);
    if (on && !RadioButton2->isChecked()) SelectRadio(RadioButton1);
    Track(Edit::Changed);
}

void TForm1::RadioButton1Click() { Track(Edit::Changed); }
void TForm1::RadioButton2Click() { Track(Edit::Changed); }

void TForm1::SetWallRowCommands(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{Button10, Button11, Button12, Button13, ComboBox1})
        w->setEnabled(enabled);
    for (QAction* a : {Delete2, Rename1, U2, D2}) a->setEnabled(enabled);
}

void TForm1::ShowWallRow(int row) {
    SetField(Edit2, WallPathList[row]);
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->setCurrentIndex(WallStyleList[row] == "True" ? 0 : 1);
}

void TForm1::ListBox2Click() {
    const int i = Selected(ListBox2);
    if (i < 0) return;
    SetWallRowCommands(true);
    ShowWallRow(i);
}

void TForm1::Button9Click() {
    if (ListBox2->count() >= MaxRows) {
        Warn(sj("これ以上リストに追加できません。"));
        return;
    }
    const int p = Select2();
    const std::optional<Bytes> path =
        Chosen(p_.dialogs->OpenPicture({sj("Wall-paper の追加"), sj("ビットマップファイル (*.bmp)|*.BMP"), "\\"}));
    if (!path) return;
    if (std::optional<Bytes> caption = AskName(sj("壁紙の名前"), BaseName(*path), false)) {
        ListBox2->insertItem(p, NewRow(*caption));
        WallPathList.insert(WallPathList.begin() + p, *path);
        WallStyleList.insert(WallStyleList.begin() + p, "True");
        SelectRow(ListBox2, p);
        ListBox2Click();
    }
    Track(Edit::Changed);
}

void TForm1::Button10Click() {
    int i = Selected(ListBox2);
    if (i < 0) return;
    if (p_.desktop->MessageBox("[" + Caption(ListBox2, i) + sj("] を削除します。"), sj("確認"),
                               MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    WallPathList.erase(WallPathList.begin() + i);
    {
        const QSignalBlocker quiet(ListBox2);
        delete ListBox2->takeItem(i);
    }
    WallStyleList.erase(WallStyleList.begin() + i);
    if (ListBox2->count() == 0) {
        SetWallRowCommands(false);
        SetField(Edit2, "");
        const QSignalBlocker quiet(ComboBox1);
        ComboBox1->setCurrentIndex(-1);
    } else {
        if (i >= ListBox2->count()) i = ListBox2->count() - 1;
        SelectRow(ListBox2, i);
        ShowWallRow(i);
    }
    Track(Edit::Changed);
}

void TForm1::Button11Click() {
    const int i = Selected(ListBox2);
    if (i < 0) return;
    // Asked with the prompt of a wallpaper's name, whatever the dialog asked last.
    if (RenameRow(ListBox2, i, sj("壁紙の名前"))) Track(Edit::Changed);
}

void TForm1::Button12Click() {
    const int i = Selected(ListBox2);
    if (i <= 0) return;
    MoveWallRow(i, i - 1);
}

void TForm1::Button13Click() {
    const int i = Selected(ListBox2);
    if (i < 0 || i >= ListBox2->count() - 1) return;
    MoveWallRow(i, i + 1);
}

void TForm1::MoveWallRow(int from, int to) {
    MoveRow(ListBox2, {&WallPathList, &WallStyleList}, from, to);
    Track(Edit::Changed);
}

void TForm1::ComboBox1Change() {
    const int i = Selected(ListBox2);
    if (i < 0) return;
    WallStyleList[i] = ComboBox1->currentIndex() == 0 ? "True" : "False";
    Track(Edit::Changed);
}

void TForm1::ListBox3Click() { Button15->setEnabled(true); }

void TForm1::Button14Click() {
    if (ListBox3->count() >= MaxRows) {
        Warn(sj("これ以上リストに追加できません。"));
        return;
    }
    const std::optional<Bytes> folder =
        Chosen(p_.dialogs->ChooseDirectory({sj("テンポラリフォルダの追加"), "", "", true}));
    if (!folder) return;
    const std::optional<DirEntry> there = p_.files->FindFile(*folder);
    if (!there || !there->directory) {
        if (p_.desktop->MessageBox(sj("指定されたディレクトリが存在しません。作成しますか？"), sj("確認"),
                                   MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        if (there || !p_.files->CreateDirectories(*folder)) {
            p_.desktop->MessageBox(format1(sj("ディレクトリ %s を作成できません。"), *folder), sj("エラー"),
                                   MB_OK | MB_ICONHAND);
            return;
        }
    }
    ListBox3->addItem(NewRow(*folder));
    Track(Edit::Changed);
}

void TForm1::Button15Click() {
    int i = Selected(ListBox3);
    if (i < 0) return;
    {
        const QSignalBlocker quiet(ListBox3);
        delete ListBox3->takeItem(i);
    }
    if (ListBox3->count() == 0) {
        Button15->setEnabled(false);
    } else {
        if (i >= ListBox3->count()) i = ListBox3->count() - 1;
        SelectRow(ListBox3, i);
    }
    Track(Edit::Changed);
}

void TForm1::Button18Click() {
    const std::optional<Bytes> start = FieldBytes(Edit4);
    Bytes from;
    if (start) {
        const std::optional<DirEntry> there = p_.files->FindFile(*start);
        if (there && there->directory) from = *start;
    }
    const std::optional<Bytes> folder =
        Chosen(p_.dialogs->ChooseDirectory({sj("仮想メモリの位置"), "", from}));
    if (!folder) return;
    const Bytes candidate = p_.paths->SwapFileIn(*folder);
    if (p_.files->FindFile(candidate)) {
        SetField(Edit4, candidate);
        Track(Edit::Changed);
    } else {
        Warn(sj("仮想メモリの位置と違います。"));
    }
}

}  // namespace veska
