// The personal applications and style pages: the tools' check marks against the menu rows,
// the wallpaper and folder lists, and the icon.
#include "properties/Form1Fixture.h"

using namespace veska;
using namespace veska::test;

namespace {

const char* OnlyRecent =
    "[ItemCount]\nItemNumber=1\nWallNumber=3\n"
    "[MenuCaption]\nItem0=「最近使ったファイル」の削除\n[MenuName]\nItem0=P2\n"
    "[MenuPath]\nItem0=PersonalApplication\n[MenuSound]\nItem0=(なし)\n"
    "[WallCaption]\nItem0=a\nItem1=b\nItem2=c\n[WallPath]\nItem0=/a.bmp\nItem1=/b.bmp\nItem2=/c.bmp\n"
    "[WallStyle]\nItem0=0\nItem1=0\nItem2=0\n";

const char* RandomChange =
    "[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\n\"Change\"=\"1\"\n\"Means\"=\"0\"\n";

}  // namespace

class PersonalPage : public Form1Test {
protected:
    // The user clicks a tool's entry: it becomes selected, which shows its group.
    void ClickTool(int entry) { form->CheckListBox1->setCurrentRow(entry); }
    // The user toggles a tool's check mark on its selected entry.
    void ToggleTool(int entry) {
        ClickTool(entry);
        QListWidgetItem* item = form->CheckListBox1->item(entry);
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

TEST_F(PersonalPage, TheToolBoxesFollowTheMenuAndGuardOkAgainstAnEmptyMenu) {
    WriteConfig(OnlyRecent);
    TForm1& f = Open();
    f.PageControl1->setCurrentWidget(f.TabSheet2);
    EXPECT_FALSE(f.Button20->isEnabled());
    // First showing of the recent-documents group: its box turns on, and that is an edit.
    ClickTool(1);
    EXPECT_TRUE(!f.GroupBox6->isHidden() && f.GroupBox2->isHidden());
    EXPECT_TRUE(f.CheckBox4->isChecked());
    EXPECT_TRUE(f.Button20->isEnabled() && f.Button7->isEnabled());

    // Switching off the only row's tool leaves an empty menu: neither OK nor Apply.
    f.CheckBox4->setChecked(false);
    EXPECT_EQ(f.ListBox1->count(), 0);
    EXPECT_EQ(f.CheckListBox1->item(1)->checkState(), Qt::Unchecked);
    EXPECT_FALSE(f.Button20->isEnabled() || f.Button7->isEnabled());
    f.CheckBox4->setChecked(true);
    EXPECT_TRUE(f.Button20->isEnabled() && f.Button7->isEnabled());

    // A tool checked in the list reaches the menu when the page is left, and leaves it from
    // wherever the user moved it.
    ToggleTool(2);
    EXPECT_TRUE(f.CheckBox6->isChecked());
    f.PageControl1->setCurrentWidget(f.TabSheet1);
    EXPECT_EQ(Captions(f.ListBox1).back(), sj("システム情報..."));
    EXPECT_EQ(f.NameList.back(), "P3");
    EXPECT_EQ(f.PathList.back(), "PersonalApplication");
    EXPECT_EQ(f.SoundList.back(), sj("(なし)"));
    SelectMenuRow(1);
    f.Button5Click();
    f.PageControl1->setCurrentWidget(f.TabSheet2);
    ToggleTool(2);
    f.PageControl1->setCurrentWidget(f.TabSheet1);
    EXPECT_EQ(f.NameList, std::vector<Bytes>{"P2"});
}

TEST_F(PersonalPage, OptionsKeepTheirStateAndReachTheStoresOnOk) {
    WriteConfig(OnlyRecent);
    WriteSettings(RandomChange);
    TForm1& f = Open();
    EXPECT_TRUE(f.RadioButton2->isChecked() && f.RadioButton2->isEnabled());
    f.PageControl1->setCurrentWidget(f.TabSheet2);
    // The wallpaper tool is not in the menu: its box is off, the choice disabled, and kept.
    EXPECT_FALSE(f.CheckBox5->isChecked());
    EXPECT_FALSE(f.RadioButton2->isEnabled());
    EXPECT_TRUE(f.RadioButton2->isChecked());
    // The confirmation box has no handler: no change is marked, but OK stores it.
    ClickTool(3);
    f.CheckBox2->setChecked(false);
    EXPECT_FALSE(f.Button20->isEnabled());
    Guarded(sp.desktop, [&] { f.Button7Click(); });
    EXPECT_EQ(Setting("Check", "TempDlg"), "0");
    EXPECT_EQ(Setting("Wall_paper", "Means"), "0");
    EXPECT_EQ(Setting("Wall_paper", "Change"), "1");
}

TEST_F(PersonalPage, WallpapersAndFoldersAreAddedWhereTheUserSaid) {
    WriteConfig(OnlyRecent);
    TForm1& f = Open();
    f.ListBox2->setCurrentRow(2);
    sp.dialogs.Choose("/pics/sea.bmp");
    bool cancelDisabled = false;
    AnswerInput([&](TInputDlg& d) {
        cancelDisabled = !d.CancelBtn->isEnabled();
        EXPECT_EQ(d.Edit1->text(), QStringLiteral("sea"));
    });
    f.Button9Click();
    EXPECT_TRUE(cancelDisabled);
    EXPECT_EQ(sp.dialogs.requests.back().kind, 'p');
    EXPECT_EQ(Captions(f.ListBox2), (std::vector<Bytes>{"a", "b", "sea", "c"}));
    EXPECT_EQ(f.WallPathList, (std::vector<Bytes>{"/a.bmp", "/b.bmp", "/pics/sea.bmp", "/c.bmp"}));
    EXPECT_EQ(f.WallStyleList, (std::vector<Bytes>{"False", "False", "True", "False"}));
    EXPECT_EQ(TForm1::Selected(f.ListBox2), 2);
    EXPECT_EQ(f.Edit2->text(), QStringLiteral("/pics/sea.bmp"));
    EXPECT_EQ(f.ComboBox1->currentIndex(), 0);

    // The same folder twice is listed twice; a typed folder that is not there is created first.
    const Bytes typed = sp.root() + "/new/temp";
    sp.dialogs.Choose(sp.root());
    sp.dialogs.Choose(sp.root());
    sp.dialogs.Choose(typed);
    f.Button14Click();
    f.Button14Click();
    f.Button14Click();
    EXPECT_EQ(Captions(f.ListBox3), (std::vector<Bytes>{sp.root(), sp.root(), typed}));
    EXPECT_EQ(BoxTexts(), std::vector<Bytes>{sj("指定されたディレクトリが存在しません。作成しますか？")});
    EXPECT_TRUE(std::filesystem::is_directory(typed));
    EXPECT_TRUE(sp.dialogs.requests.back().request.newFolder);
    // A folder that cannot be created is reported and not listed.
    veska::testing::spit(sp.root() + "/file", "x");
    sp.dialogs.Choose(sp.root() + "/file/sub");
    f.Button14Click();
    EXPECT_EQ(f.ListBox3->count(), 3);
    EXPECT_EQ(sp.desktop.boxes.back().caption, sj("エラー"));
}

// The picture loader goes by the extension: an icon loads, a damaged one and any other type are
// refused and change nothing.
TEST_F(PersonalPage, OnlyAnIconLoadsAndARefusedPictureChangesNothing) {
    WriteConfig(OnlyRecent);
    WriteSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\n\"Icon\"=\"/i/old.ico\"\n");
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const struct {
        const char* name;
        const char* format;  // the picture written there; none: a damaged icon
        const char* refusal;
    } cases[] = {{"bad.ico", nullptr, "アイコンイメージが不正です."},
                 {"red.png", "png", "拡張子 .png の画像形式は処理できません."},
                 {"red.BMP", "bmp", "拡張子 .BMP の画像形式は処理できません."},
                 {"red.ICO", "ico", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sp.desktop.boxes.clear();
        TForm1& f = Open();
        f.Image1->setPixmap(QPixmap::fromImage(BuiltInIcon()));
        const QImage before = f.Image1->pixmap().toImage();
        const Bytes path = sp.root() + "/" + c.name;
        if (c.format)
            ASSERT_TRUE(red.save(QString::fromStdString(path), c.format));
        else
            veska::testing::spit(path, std::string("\0\0\1\0\1\0garbage", 14));
        sp.dialogs.Choose(path);
        Guarded(sp.desktop, [&] { f.Button16Click(); });
        EXPECT_EQ(BoxTexts(), c.refusal ? std::vector<Bytes>{sj(c.refusal)} : std::vector<Bytes>{});
        EXPECT_EQ(f.Image1->pixmap().toImage() == before, c.refusal != nullptr);
        EXPECT_EQ(f.Image1Hint, c.refusal ? Bytes("/i/old.ico") : path);
        EXPECT_EQ(f.Button20->isEnabled(), !c.refusal);
    }
}

TEST_F(PersonalPage, TheSwapFileMustStandWhereTheUserPointed) {
    WriteConfig(OnlyRecent);
    TForm1& f = Open();
    std::filesystem::create_directories(sp.root() + "/empty");
    veska::testing::spit(sp.root() + "/swapfile", "");
    sp.dialogs.Choose(sp.root() + "/empty");
    f.Button18Click();
    EXPECT_EQ(BoxTexts(), std::vector<Bytes>{sj("仮想メモリの位置と違います。")});
    EXPECT_TRUE(f.Edit4->text().isEmpty());
    EXPECT_FALSE(sp.dialogs.requests.back().request.newFolder);
    EXPECT_FALSE(f.Button20->isEnabled());
    sp.dialogs.Choose(sp.root());
    f.Button18Click();
    EXPECT_EQ(f.Edit4->text().toStdString(), sp.root() + "/swapfile");
    EXPECT_TRUE(f.Button20->isEnabled());
    Guarded(sp.desktop, [&] { f.Button20Click(); });
    EXPECT_EQ(Setting("Style", "SWPFile"), sp.root() + "/swapfile");
}

// A chosen name with a line break, which no store can hold, is refused when it is chosen.
TEST_F(PersonalPage, AChosenNameWithALineBreakIsRefusedAtOnce) {
    WriteConfig(OnlyRecent);
    TForm1& f = Open();
    f.ListBox1->setCurrentRow(0);
    const Bytes odd = sp.root() + "/a\nb";
    std::filesystem::create_directories(odd);
    veska::testing::spit(odd + "/swapfile", "");
    for (auto choose : {&TForm1::Button17Click, &TForm1::Button14Click, &TForm1::Button18Click, &TForm1::Button16Click}) {
        sp.desktop.boxes.clear();
        sp.dialogs.Choose(odd);
        Guarded(sp.desktop, [&] { (f.*choose)(); });
        EXPECT_EQ(BoxTexts(), std::vector<Bytes>{sj("Veska で扱えない文字 (シフト JIS にない文字) が含まれているため、使えません。")});
    }
    EXPECT_FALSE(f.Button20->isEnabled());
}
