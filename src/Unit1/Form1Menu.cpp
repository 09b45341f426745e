// The menu designer page: the launch-menu rows in ListBox1 with PathList, NameList and
// SoundList beside them, always changed together at the same position.
#include <QSignalBlocker>

#include "Unit1/Form1.h"
#include "Unit1/ListRows.h"
#include "Unit2/InputDlg.h"
#include "store/Names.h"
#include "text/Codec.h"

namespace veska {

namespace {

constexpr int MaxMenuRows = 254;

}  // namespace

void TForm1::InsertMenuRow(int at, const Bytes& caption, const Bytes& name, const Bytes& path, const Bytes& sound) {
    ListBox1->insertItem(at, NewRow(caption));
    PathList.insert(PathList.begin() + at, path);
    NameList.insert(NameList.begin() + at, name);
    SoundList.insert(SoundList.begin() + at, sound);
}

void TForm1::DeleteMenuRow(int row) {
    const bool wasSelected = Selected(ListBox1) == row;
    const QSignalBlocker quiet(ListBox1);
    delete ListBox1->takeItem(row);
    // Qt would select a neighbour in its place, behind the fields' back: no row is selected.
    if (wasSelected) SelectRow(ListBox1, -1);
    PathList.erase(PathList.begin() + row);
    NameList.erase(NameList.begin() + row);
    SoundList.erase(SoundList.begin() + row);
}

void TForm1::MoveMenuRow(int from, int to) { MoveRow(ListBox1, {&PathList, &NameList, &SoundList}, from, to); }

void TForm1::SetMenuRowCommands(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{Button2, Button4, Button5, Button6, Button17}) w->setEnabled(enabled);
    for (QAction* a : {Delete1, R1, U1, D1, S2}) a->setEnabled(enabled);
}

int TForm1::Select1() const {
    const int i = Selected(ListBox1);
    return i < 0 ? 0 : i;
}

void TForm1::ListBox1Click() {
    const int i = Selected(ListBox1);
    if (i < 0) return;
    Edit1->setEnabled(true);
    Edit3->setEnabled(true);
    SetField(Edit1, PathList[i]);
    SetField(Edit3, SoundList[i]);
    SetMenuRowCommands(true);
    if (PathList[i] == names::PersonalApplication) {
        Button4->setEnabled(false);
        R1->setEnabled(false);
        Edit1->setReadOnly(true);
    } else if (PathList[i] == names::Separator) {
        for (QWidget* w : {Button4, Button17}) w->setEnabled(false);
        for (QAction* a : {R1, S2}) a->setEnabled(false);
        Edit1->setReadOnly(true);
    } else {
        Edit1->setReadOnly(false);
    }
    if (NameList[i] == names::P1) {
        Button17->setEnabled(false);
        S2->setEnabled(false);
    }
}

void TForm1::ListBox1DblClick() {
    const int i = Selected(ListBox1);
    if (i >= 0 && PathList[i] != names::Separator) Button4Click();
}

void TForm1::Button1Click() {
    if (ListBox1->count() >= MaxMenuRows) {
        Warn(sj("これ以上リストに追加できません。"));
        return;
    }
    const std::optional<Bytes> path = Chosen(p_.dialogs->OpenFile(
        {sj("アプリケーションの追加"),
         sj("アプリケーション (*.exe,*.lnk)|*.EXE;*.LNK|実行ファイル (*.exe)|*.EXE|ショートカット (*.lnk)|*.LNK|"
            "すべてのファイル (*.*)|*.*"),
         "\\"}));
    if (!path) return;
    const int p = Select1();
    // A desktop entry goes by its own name, as a shortcut goes by its file name.
    Bytes name = p_.dialogs->DisplayName(*path);
    if (name.empty()) name = BaseName(*path);
    if (std::optional<Bytes> caption = AskName(sj("アプリケーションの名前"), name + sj(" の起動"), false)) {
        InsertMenuRow(p, *caption, names::Null, *path, names::None);
        SelectRow(ListBox1, p);
        ListBox1Click();
    }
    Track(Edit::MenuFilled);
}

void TForm1::Button3Click() {
    if (ListBox1->count() >= MaxMenuRows) {
        Warn(sj("これ以上リストに追加できません。"));
        return;
    }
    const int p = Select1();
    InsertMenuRow(p, SeparatorLine, names::Null, names::Separator, "");
    SelectRow(ListBox1, p);
    ListBox1Click();
    Track(Edit::MenuFilled);
}

void TForm1::Button2Click() {
    if (ListBox1->count() == 0) return;
    int i = Selected(ListBox1);
    if (i < 0) return;
    const Bytes shown = PathList[i] == names::Separator ? names::Separator : Caption(ListBox1, i);
    if (p_.desktop->MessageBox("[" + shown + sj("] を削除します。"), sj("確認"), MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    DeleteMenuRow(i);
    if (i == ListBox1->count()) i = ListBox1->count() - 1;
    SelectRow(ListBox1, i);
    PAppli();
    if (ListBox1->count() > 0) {
        ListBox1Click();
        Track(Edit::Changed);
    } else {
        SetField(Edit1, "");
        SetField(Edit3, "");
        SetMenuRowCommands(false);
        Track(Edit::MenuEmptied);
    }
}

void TForm1::Button4Click() {
    const int i = Selected(ListBox1);
    if (i < 0 || PathList[i] == names::PersonalApplication) return;  // tools keep their captions
    if (RenameRow(ListBox1, i, sj("名前の変更"))) Track(Edit::Changed);
}

void TForm1::Button17Click() {
    const int i = Selected(ListBox1);
    if (i < 0) return;
    const std::optional<Bytes> sound =
        Chosen(p_.dialogs->OpenFile({sj("サウンドの変更"), sj("サウンドファイル (*.wav)|*.WAV"), "\\"}));
    if (!sound) return;
    SoundList[i] = *sound;
    ListBox1Click();
    Track(Edit::Changed);
}

void TForm1::Button5Click() {
    const int i = Selected(ListBox1);
    if (i <= 0) return;
    MoveMenuRow(i, i - 1);
    Track(Edit::Changed);
}

void TForm1::Button6Click() {
    const int i = Selected(ListBox1);
    if (i < 0 || i >= ListBox1->count() - 1) return;
    MoveMenuRow(i, i + 1);
    Track(Edit::Changed);
}

void TForm1::Edit1KeyPress() {
    const QString text = Edit1->text();
    if (text != QLatin1String("PersonalApplication") && text != QLatin1String("Separator")) Track(Edit::Changed);
}

void TForm1::Edit1Exit() {
    const int i = Selected(ListBox1);
    if (i < 0) return;
    if (std::optional<Bytes> path = FieldBytes(Edit1))
        PathList[i] = *path;
    else
        SetField(Edit1, PathList[i]);  // refused: the row keeps its path
}

void TForm1::Edit3KeyPress() { Track(Edit::Changed); }

void TForm1::Edit3Exit() {
    const int i = Selected(ListBox1);
    if (i < 0) return;
    if (Edit3->text().isEmpty()) SetField(Edit3, names::None);
    if (std::optional<Bytes> sound = FieldBytes(Edit3))
        SoundList[i] = *sound;
    else
        SetField(Edit3, SoundList[i]);
}

}  // namespace veska
