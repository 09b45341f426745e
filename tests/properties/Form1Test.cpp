// The properties dialog's frame and menu designer: loading, change tracking, Apply, and the
// four menu lists kept in step.
#include <QSignalSpy>
#include <QTest>

#include "Unit1/ListRows.h"
#include "properties/Form1Fixture.h"

using namespace veska;
using namespace veska::test;

namespace {
QString U(const char* utf8) { return QString::fromUtf8(utf8); }
}  // namespace

TEST_F(Form1Test, OpensOnTheStoredSettingsCountingAsUnchanged) {
    WriteConfig(FourRows);
    WriteSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\n\"Change\"=\"1\"\n\"Means\"=\"0\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\n\"Click\"=\"0\"\n\"Icon\"=\"/i/a.ico\"\n"
                  "\"SWPFile\"=\"/swapfile\"\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Check]\n"
                  "\"TempDlg\"=\"0\"\n");
    TForm1& f = Open();
    // Loading set boxes and radio buttons, whose handlers enable Apply; it still opens unchanged.
    EXPECT_FALSE(f.Button20->isEnabled());
    EXPECT_TRUE(f.Button7->isEnabled());
    EXPECT_EQ(Captions(f.ListBox1), (std::vector<Bytes>{sj("エディタ"), SeparatorLine, sj("システム情報..."), sj("端末")}));
    EXPECT_EQ(f.NameList, (std::vector<Bytes>{"Null", "Null", "P3", "Null"}));
    // Row 3 has no sound of its own: it repeats row 2's.
    EXPECT_EQ(f.SoundList, (std::vector<Bytes>{sj("(なし)"), "", "/snd/a.wav", "/snd/a.wav"}));
    EXPECT_EQ(f.WallStyleList, std::vector<Bytes>{"False"});
    EXPECT_EQ(Captions(f.ListBox3), std::vector<Bytes>{"/tmp/x"});
    EXPECT_TRUE(f.CheckBox1->isChecked() && f.RadioButton2->isChecked() && f.RadioButton2->isEnabled());
    EXPECT_TRUE(f.RadioButton4->isChecked());
    EXPECT_FALSE(f.CheckBox2->isChecked());
    EXPECT_EQ(f.Edit4->text(), QStringLiteral("/swapfile"));
    EXPECT_EQ(f.Image1Hint, "/i/a.ico");
    for (int k = 0; k < 4; ++k) EXPECT_EQ(f.CheckListBox1->item(k)->checkState() == Qt::Checked, k == 2) << k;
    EXPECT_EQ(TForm1::Selected(f.ListBox1), -1);
    EXPECT_FALSE(f.Edit1->isEnabled());
    EXPECT_FALSE(f.Button2->isEnabled());
    EXPECT_EQ(f.PageControl1->currentWidget(), f.TabSheet1);
}

TEST_F(Form1Test, OkWithoutChangesRewritesEverythingWithoutStaleKeys) {
    WriteConfig(std::string(FourRows) + "[MenuName]\nItem7=P2\n[WallPath]\nItem3=/old.bmp\n");
    WriteSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\n\"Order\"=\"5\"\n");
    TForm1& f = Open();
    Guarded(sp.desktop, [&] { f.Button7Click(); });
    EXPECT_TRUE(sp.desktop.boxes.empty());
    EXPECT_EQ(rereads, 1);
    EXPECT_EQ(Config("ItemCount", "ItemNumber"), "4");
    EXPECT_EQ(Config("MenuCaption", "Item1"), "-");  // the dashes are only shown
    EXPECT_EQ(Config("MenuSound", "Item3"), "/snd/a.wav");
    EXPECT_EQ(Config("MenuName", "Item7"), "<missing>");
    EXPECT_EQ(Config("WallPath", "Item3"), "<missing>");
    EXPECT_EQ(Config("WallStyle", "Item0"), "0");
    EXPECT_EQ(Config("TempFolder", "PathItem0"), "/tmp/x");
    EXPECT_EQ(Setting("Wall_paper", "Order"), "2");
    EXPECT_EQ(Setting("Wall_paper", "Change"), "0");
    EXPECT_EQ(Setting("Wall_paper", "Means"), "0");  // no order button was selected
    EXPECT_EQ(Setting("Check", "TempDlg"), "1");
    EXPECT_EQ(Setting("Style", "Click"), "1");
    EXPECT_EQ(Setting("Style", "Icon"), "");
}

TEST_F(Form1Test, DeletingEveryRowDisablesOkAndApplyAndAnEmptyMenuIsNeverStored) {
    WriteConfig(FourRows);
    const std::string before = veska::testing::slurp(sp.ConfigPath());
    TForm1& f = Open();
    SelectMenuRow(3);
    for (int n = 0; n < 4; ++n) f.Button2Click();  // each confirmed with OK
    EXPECT_EQ(BoxTexts().front(), sj("[端末] を削除します。"));
    EXPECT_EQ(BoxTexts()[1], sj("[システム情報...] を削除します。"));
    EXPECT_EQ(BoxTexts()[2], sj("[Separator] を削除します。"));  // named, not dashed
    EXPECT_EQ(f.ListBox1->count(), 0);
    EXPECT_TRUE(f.PathList.empty() && f.NameList.empty() && f.SoundList.empty());
    EXPECT_FALSE(f.Button7->isEnabled());
    EXPECT_FALSE(f.Button20->isEnabled());
    EXPECT_FALSE(f.Button2->isEnabled() || f.Delete1->isEnabled() || f.U1->isEnabled());
    EXPECT_TRUE(f.Edit1->text().isEmpty() && f.Edit1->isEnabled());
    EXPECT_EQ(f.CheckListBox1->item(2)->checkState(), Qt::Unchecked);  // the deleted tool's mark went too

    // A later edit enables Apply, which refuses the empty menu and writes nothing.
    f.RadioButton4->setChecked(true);
    EXPECT_TRUE(f.Button20->isEnabled());
    sp.desktop.boxes.clear();
    Guarded(sp.desktop, [&] { f.Button20Click(); });
    ASSERT_EQ(sp.desktop.boxes.size(), 1u);
    EXPECT_EQ(sp.desktop.boxes[0].text, sj("意味ないじゃん！"));
    EXPECT_EQ(sp.desktop.boxes[0].caption, sj("警告"));
    EXPECT_TRUE(f.Button20->isEnabled());
    EXPECT_EQ(veska::testing::slurp(sp.ConfigPath()), before);
    EXPECT_EQ(rereads, 0);
}

TEST_F(Form1Test, MovingAndDeletingKeepTheFourListsInStep) {
    WriteConfig(FourRows);
    TForm1& f = Open();
    SelectMenuRow(3);
    f.Button5Click();
    f.Button5Click();
    EXPECT_EQ(TForm1::Selected(f.ListBox1), 1);
    EXPECT_EQ(Captions(f.ListBox1), (std::vector<Bytes>{sj("エディタ"), sj("端末"), SeparatorLine, sj("システム情報...")}));
    EXPECT_EQ(f.PathList, (std::vector<Bytes>{"/usr/bin/editor", "/usr/bin/term", "Separator", "PersonalApplication"}));
    EXPECT_EQ(f.NameList, (std::vector<Bytes>{"Null", "Null", "Null", "P3"}));
    EXPECT_EQ(f.SoundList, (std::vector<Bytes>{sj("(なし)"), "/snd/a.wav", "", "/snd/a.wav"}));
    EXPECT_TRUE(f.Button20->isEnabled());
    // Moving shows nothing new: the fields still show the moved row.
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("/usr/bin/term"));

    // Deleting the program row selects its successor, a separator: read-only, no rename, no sound.
    f.Button2Click();
    EXPECT_EQ(TForm1::Selected(f.ListBox1), 1);
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("Separator"));
    EXPECT_TRUE(f.Edit1->isReadOnly());
    EXPECT_FALSE(f.Button4->isEnabled() || f.R1->isEnabled() || f.Button17->isEnabled());
    EXPECT_TRUE(f.Button2->isEnabled() && f.Button5->isEnabled());

    // Down on the last row changes nothing and leaves Apply as it was.
    Guarded(sp.desktop, [&] { f.Button20Click(); });
    SelectMenuRow(2);
    f.Button6Click();
    EXPECT_FALSE(f.Button20->isEnabled());
    EXPECT_EQ(Config("MenuPath", "Item1"), "Separator");
    EXPECT_EQ(Config("MenuSound", "Item1"), "");
    EXPECT_EQ(Config("MenuName", "Item2"), "P3");
    EXPECT_EQ(Config("ItemCount", "ItemNumber"), "3");
    EXPECT_EQ(Config("MenuCaption", "Item3"), "<missing>");
}

TEST_F(Form1Test, AddingAProgramAsksForItsNameAndRefusesPastTheLimit) {
    WriteConfig(FourRows);
    TForm1& f = Open();
    Guarded(sp.desktop, [&] { f.Button20Click(); });
    SelectMenuRow(1);
    // A desktop entry is proposed under its own name.
    sp.dialogs.Choose("/usr/share/applications/mail.desktop");
    sp.dialogs.displayNames["/usr/share/applications/mail.desktop"] = sj("メール");
    bool cancelDisabled = false;
    AnswerInput([&](TInputDlg& d) {
        cancelDisabled = !d.CancelBtn->isEnabled();
        EXPECT_EQ(d.Edit1->text(), U("メール の起動"));
        EXPECT_EQ(d.Label1->text(), U("アプリケーションの名前"));
    });
    f.Button1Click();
    EXPECT_TRUE(cancelDisabled);
    EXPECT_TRUE(InputDlg->CancelBtn->isEnabled());
    ASSERT_EQ(sp.dialogs.requests.size(), 1u);
    EXPECT_EQ(sp.dialogs.requests[0].request.title, sj("アプリケーションの追加"));
    EXPECT_EQ(sp.dialogs.requests[0].request.initialFolder, "\\");
    EXPECT_EQ(Captions(f.ListBox1)[1], sj("メール の起動"));
    EXPECT_EQ(f.PathList[1], "/usr/share/applications/mail.desktop");
    EXPECT_EQ(f.NameList[1], "Null");
    EXPECT_EQ(f.SoundList[1], sj("(なし)"));
    EXPECT_EQ(TForm1::Selected(f.ListBox1), 1);
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("/usr/share/applications/mail.desktop"));
    EXPECT_TRUE(f.Button20->isEnabled() && f.Button7->isEnabled());

    // Any other file is proposed by its name without the last extension.
    sp.dialogs.Choose("/opt/tools/Editor.bin.exe");
    AnswerInput([](TInputDlg& d) { EXPECT_EQ(d.Edit1->text(), U("Editor.bin の起動")); });
    f.Button1Click();

    // A name that Shift-JIS cannot hold is refused and nothing is added.
    sp.dialogs.ChooseUnrepresentable("/home/u/caf\xC3\xA9\xF0\x9F\x99\x82");
    f.Button1Click();
    EXPECT_EQ(f.ListBox1->count(), 6);
    EXPECT_EQ(sp.desktop.boxes.back().caption, sj("エラー"));

    while (f.ListBox1->count() < 254) f.Button3Click();
    sp.desktop.boxes.clear();
    sp.dialogs.requests.clear();
    f.Button1Click();
    f.Button3Click();
    EXPECT_EQ(f.ListBox1->count(), 254);
    EXPECT_TRUE(sp.dialogs.requests.empty());
    EXPECT_EQ(BoxTexts(), (std::vector<Bytes>{sj("これ以上リストに追加できません。"), sj("これ以上リストに追加できません。")}));
}

TEST_F(Form1Test, TheFieldsMarkChangesOnCharacterKeysAndStoreOnLeaving) {
    WriteConfig(FourRows);
    TForm1& f = Open();
    SelectMenuRow(0);
    // Keys that produce no character: Delete (X11 gives it a DEL text) and Tab.
    QTest::sendKeyEvent(QTest::Click, f.Edit1, Qt::Key_Delete, QString(QChar(0x7f)), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Click, f.Edit1, Qt::Key_Tab, QStringLiteral("\t"), Qt::NoModifier);
    EXPECT_FALSE(f.Button20->isEnabled());
    QTest::keyClick(f.Edit1, Qt::Key_End);
    QTest::keyClicks(f.Edit1, "2");
    EXPECT_TRUE(f.Button20->isEnabled());
    f.Edit1Exit();
    EXPECT_EQ(f.PathList[0], "/usr/bin/editor2");

    f.Edit3->clear();
    f.Edit3Exit();
    EXPECT_EQ(f.SoundList[0], sj("(なし)"));
    EXPECT_EQ(f.Edit3->text(), U("(なし)"));

    // Typing in the read-only path of a tool marks nothing.
    Guarded(sp.desktop, [&] { f.Button20Click(); });
    SelectMenuRow(2);
    EXPECT_TRUE(f.Edit1->isReadOnly());
    QTest::keyClicks(f.Edit1, "x");
    EXPECT_FALSE(f.Button20->isEnabled());
    EXPECT_EQ(Config("MenuPath", "Item0"), "/usr/bin/editor2");
}

TEST_F(Form1Test, AFailedWriteKeepsTheDialogOpenWithApplyAndTheFileAsItWas) {
    WriteConfig(FourRows);
    const std::string before = veska::testing::slurp(sp.ConfigPath());
    std::filesystem::permissions(sp.ConfigPath(), std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::replace);
    TForm1& f = Open();
    f.show();
    SelectMenuRow(3);
    f.Button5Click();
    Guarded(sp.desktop, [&] { f.Button7Click(); });
    ASSERT_EQ(sp.desktop.boxes.size(), 1u);
    EXPECT_EQ(sp.desktop.boxes[0].text, WithFullStop(format1(sj("%s に書き込めません"), sp.ConfigPath())));
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(f.Button20->isEnabled());
    EXPECT_EQ(rereads, 0);
    EXPECT_EQ(veska::testing::slurp(sp.ConfigPath()), before);
    EXPECT_EQ(Setting("Wall_paper", "Order"), "<missing>");  // nothing after the failed write
    f.close();
}

// A store that cannot be written is refused as the whole write would be, also where the write
// changes nothing.
TEST_F(Form1Test, AStoreThatCannotBeWrittenIsRefusedAlsoWhereNothingChanges) {
    namespace fs = std::filesystem;
    WriteConfig(FourRows);
    Guarded(sp.desktop, [&] { Open().Button7Click(); });  // both stores as the dialog writes them
    const struct {
        Bytes file;
        const char* swapFile;  // typed, without marking a change
        Bytes refusal;
    } cases[] = {{sp.ConfigPath(), nullptr, format1(sj("%s に書き込めません"), sp.ConfigPath())},
                 {sp.paths.settingsFile, "/new/swapfile", sj("'Change' の設定に失敗しました")}};
    for (const auto& c : cases) {
        fs::permissions(c.file, fs::perms::owner_read, fs::perm_options::replace);
        TForm1& f = Open();
        f.show();
        if (c.swapFile) f.Edit4->setText(c.swapFile);
        sp.desktop.boxes.clear();
        Guarded(sp.desktop, [&] { f.Button7Click(); });
        EXPECT_EQ(BoxTexts(), std::vector<Bytes>{WithFullStop(c.refusal)});
        EXPECT_TRUE(f.isVisible());
        f.close();
        fs::permissions(c.file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    }
}

TEST_F(Form1Test, ToolRowsFollowTheCheckMarksWhenThePageChanges) {
    WriteConfig(FourRows);
    TForm1& f = Open();
    // Entering the personal applications page is no change.
    f.PageControl1->setCurrentWidget(f.TabSheet2);
    EXPECT_FALSE(f.Button20->isEnabled());

    // The user checks the wallpaper tool and unchecks system information, whose row was
    // selected: no row is selected after it, so leaving a field stores nowhere.
    f.PageControl1->setCurrentWidget(f.TabSheet1);
    SelectMenuRow(2);
    f.PageControl1->setCurrentWidget(f.TabSheet2);
    f.CheckListBox1->item(0)->setCheckState(Qt::Checked);
    f.CheckListBox1->item(2)->setCheckState(Qt::Unchecked);
    f.PageControl1->setCurrentWidget(f.TabSheet1);
    EXPECT_EQ(Captions(f.ListBox1), (std::vector<Bytes>{sj("エディタ"), SeparatorLine, sj("端末"), sj("壁紙の変更")}));
    EXPECT_EQ(f.NameList.back(), "P1");
    EXPECT_EQ(f.PathList.back(), "PersonalApplication");
    EXPECT_EQ(f.SoundList.back(), sj("(なし)"));
    EXPECT_EQ(TForm1::Selected(f.ListBox1), -1);
    const std::vector<Bytes> paths = f.PathList;
    f.Edit1Exit();
    EXPECT_EQ(f.PathList, paths);
}

TEST_F(Form1Test, ASettingThatFailsToLoadIsShownAndTheDialogStillWorks) {
    WriteConfig(FourRows);
    WriteSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\n\"Change\"=dword:00000001\n");
    TForm1& f = Open();
    EXPECT_EQ(BoxTexts(), std::vector<Bytes>{"'Change' " + sj("のデータ型が不正です.")});
    EXPECT_FALSE(f.Button20->isEnabled());
    // The tool's row survives leaving for another page and OK.
    f.PageControl1->setCurrentWidget(f.TabSheet4);
    Guarded(sp.desktop, [&] { f.Button7Click(); });
    EXPECT_EQ(Config("MenuName", "Item2"), "P3");
    f.PageControl1->setCurrentWidget(f.TabSheet2);
    f.PageControl1->setCurrentWidget(f.TabSheet1);
    EXPECT_EQ(f.ListBox1->count(), 4);
}

// A value of another type than text is told once; OK keeps the rest, and that value's number if any.
TEST_F(Form1Test, AnOkAfterAFailedLoadChangesNothingTheUserDidNot) {
    const char* options[][3] = {{"Wall_paper", "Change", "1"}, {"Wall_paper", "Means", "1"}, {"Check", "TempDlg", "1"},
                                {"Style", "Click", "0"},       {"Style", "SWPFile", "/s"},   {"Style", "Icon", "/i.ico"}};
    const struct { int option; std::string foreign; Bytes after; } cases[] = {
        {0, "dword:00000001", "1"}, {3, "dword:0", "0"}, {4, "hex:2f,00", ""}, {0, "hex:01", "0"}};
    WriteConfig(FourRows);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.foreign);
        std::string body;
        for (int i = 0; i < 6; ++i)
            body += std::string("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\") + options[i][0] + "]\n\"" +
                    options[i][1] + "\"=" + (i == c.option ? c.foreign : '"' + std::string(options[i][2]) + '"') + "\n";
        WriteSettings(body);
        sp.desktop.boxes.clear();
        TForm1& f = Open();
        f.PageControl1->setCurrentWidget(f.TabSheet2);
        Guarded(sp.desktop, [&] { f.Button7Click(); });
        EXPECT_EQ(BoxTexts(), std::vector<Bytes>{"'" + Bytes(options[c.option][1]) + "' " + sj("のデータ型が不正です.")});
        for (int i = 0; i < 6; ++i) EXPECT_EQ(Setting(options[i][0], options[i][1]), i == c.option ? c.after : options[i][2]);
    }
}

// A line break, which no store can hold, is taken back where it is pasted.
TEST_F(Form1Test, ALineBreakIsRefusedWhereItIsPasted) {
    WriteConfig(FourRows);
    TForm1& f = Open();
    SelectMenuRow(0);
    auto paste = [this](QLineEdit* field) {
        const QString before = field->text();
        sp.desktop.boxes.clear();
        field->insert(QStringLiteral("a\r\nb"));
        EXPECT_EQ(field->text(), before);
        EXPECT_EQ(BoxTexts(), std::vector<Bytes>{sj("Veska で扱えない文字 (改行) が含まれているため、使えません。")});
    };
    for (QLineEdit* field : {f.Edit1, f.Edit3, f.Edit4}) paste(field);
    AnswerInput([&](TInputDlg& d) { paste(d.Edit1); });
    f.Button4Click();
}

// The user's ways with the dialog's lists, on each list.
TEST_F(Form1Test, AListKeepsItsSelectedRowAndTakesADoubleClickUnderItsRows) {
    WriteConfig(FourRows);
    TForm1& f = Open();
    f.show();
    f.CheckBox5->setChecked(true);  // the wallpaper list is usable while its tool is on
    const struct {
        QWidget* page;
        int tool;  // the tool entry that shows the list's group
        TListBox* list;
        bool renames;
    } cases[] = {{f.TabSheet1, -1, f.ListBox1, true}, {f.TabSheet2, 0, f.ListBox2, true},
                 {f.TabSheet2, 3, f.ListBox3, false}, {f.TabSheet2, -1, f.CheckListBox1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list->objectName().toStdString());
        f.PageControl1->setCurrentWidget(c.page);
        if (c.tool >= 0) f.CheckListBox1->setCurrentRow(c.tool);
        QWidget* view = c.list->viewport();
        const QPoint row0 = c.list->visualItemRect(c.list->item(0)).center();
        const std::function<void()> takingTheSelection[] = {
            [&] { QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, row0); },
            [&] { QTest::keyClick(c.list, Qt::Key_Space, Qt::ControlModifier); }};
        for (const auto& gesture : takingTheSelection) {
            QTest::mouseClick(view, Qt::LeftButton, {}, row0);
            gesture();
            EXPECT_EQ(TForm1::Selected(c.list), 0);
        }
        // One click, one Click: selecting the row, and on the row already selected.
        QSignalSpy clicks(c.list, &TListBox::Click);
        QTest::mouseClick(view, Qt::LeftButton, {}, row0);
        SelectRow(c.list, -1);
        QTest::mouseClick(view, Qt::LeftButton, {}, row0);
        EXPECT_EQ(clicks.count(), 2);
        if (!c.renames) continue;
        AnswerInput([](TInputDlg& d) { d.Edit1->setText(U("新しい名前")); });
        QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(view->width() / 2, view->height() - 4));
        EXPECT_EQ(TForm1::Caption(c.list, 0), sj("新しい名前"));
    }
}
