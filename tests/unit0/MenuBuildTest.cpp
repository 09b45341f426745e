#include "MainFixture.h"

namespace veska::test {
namespace {

using MenuBuildTest = MainFixture;

const char* DefaultEntries =
    "[ItemCount]\nItemNumber=4\nTempNumber=0\n"
    "[MenuCaption]\nItem0=壁紙の変更\nItem1=「最近使ったファイル」の削除\nItem2=テンポラリファイルの削除\nItem3=システム情報...\n"
    "[MenuName]\nItem0=P1\nItem1=P2\nItem2=P4\nItem3=P3\n"
    "[MenuPath]\nItem0=PersonalApplication\nItem1=PersonalApplication\nItem2=PersonalApplication\nItem3=PersonalApplication\n"
    "[MenuSound]\nItem0=(なし)\nItem1=(なし)\nItem2=(なし)\nItem3=(なし)\n";

TEST_F(MenuBuildTest, DefaultEntriesBuildTheEmptyWallpaperSubmenuAndIndices) {
    WriteConfig(DefaultEntries);
    Build();
    ASSERT_EQ(main->LaunchMenu()->Items()->Count(), 4);
    EXPECT_EQ(main->WallIndex(), 0);
    EXPECT_EQ(main->RecentIndex(), 1);
    EXPECT_EQ(main->TempIndex(), 2);
    EXPECT_EQ(Launch(3)->Name(), "P3");
    EXPECT_EQ(Launch(3)->Hint, "PersonalApplication");
    TMenuItem* sub = Launch(0);
    ASSERT_EQ(sub->Count(), 3);
    EXPECT_EQ(sub->Items(0)->Caption, sj("起動毎に壁紙を変更 [ランダム] (&C)"));  // "Means" missing: false
    EXPECT_FALSE(sub->Items(0)->Checked());
    EXPECT_TRUE(sub->Items(1)->IsLine());
    EXPECT_EQ(sub->Items(2)->Caption, sj("(なし)"));
    EXPECT_FALSE(sub->Items(2)->Enabled);
    EXPECT_EQ(main->LaunchSounds(), std::vector<Bytes>(4, sj("(なし)")));
    EXPECT_EQ(main->TrayIcon1->LBPopupMenu.get(), main->LaunchMenu());
    EXPECT_EQ(main->TrayIcon1->RBPopupMenu.get(), main->PopupMenu2);
}

TEST_F(MenuBuildTest, MissingKeysRepeatThePreviousEntryAndCountsWrap) {
    WriteConfig("[ItemCount]\nItemNumber=260\n"  // 260 mod 256 = 4
                "[MenuCaption]\nItem0=A\nItem1=-\nItem2=C\n"
                "[MenuName]\nItem0=Null\n"
                "[MenuPath]\nItem0=/bin/a\nItem1=Separator\nItem2=/bin/c\n"
                "[MenuSound]\nItem0=/s/a.wav\nItem1=\n");
    Build();
    ASSERT_EQ(main->LaunchMenu()->Items()->Count(), 4);
    EXPECT_EQ(Launch(3)->Caption, "C");
    EXPECT_EQ(Launch(3)->Hint, "/bin/c");
    EXPECT_TRUE(Launch(1)->IsLine());
    EXPECT_EQ(Launch(1)->Name(), "");
    EXPECT_EQ(main->LaunchSounds()[1], "");
    EXPECT_EQ(main->LaunchSounds()[3], "");  // empty value is present and repeated, not the default
}

TEST_F(MenuBuildTest, WallpaperHintsCarryTheStyleDigitAndTheToggleFollowsTheSettings) {
    WriteConfig("[ItemCount]\nItemNumber=1\nWallNumber=3\n[MenuCaption]\nItem0=W\n[MenuName]\nItem0=P1\n"
                "[MenuPath]\nItem0=PersonalApplication\n"
                "[WallCaption]\nItem0=One\nItem1=Two\nItem2=Three\n"
                "[WallPath]\nItem0=/w/1.bmp\nItem1=/w/2.bmp\nItem2=/w/3.bmp\n"
                "[WallStyle]\nItem1=0\n");  // Item0 missing: centred; Item2 missing: as Item1
    WriteCurrentSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\n\"Means\"=\"1\"\n");
    Build();
    TMenuItem* sub = Launch(0);
    ASSERT_EQ(sub->Count(), 5);
    EXPECT_EQ(sub->Items(2)->Hint, "0/w/1.bmp");
    EXPECT_EQ(sub->Items(3)->Hint, "1/w/2.bmp");
    EXPECT_EQ(sub->Items(4)->Hint, "1/w/3.bmp");
    EXPECT_TRUE(sub->Items(2)->RadioItem);
    EXPECT_FALSE(sub->Items(2)->Checked());
    EXPECT_EQ(sub->Items(0)->Caption, sj("起動毎に壁紙を変更 [順番] (&C)"));
    EXPECT_TRUE(sp.wallpaper.sets.empty());  // "Change" is off
}

TEST_F(MenuBuildTest, ChangeIsInertWithoutTheWallpaperEntry) {
    WriteConfig("[ItemCount]\nItemNumber=1\nWallNumber=1\n[MenuCaption]\nItem0=A\n[MenuName]\nItem0=Null\n"
                "[MenuPath]\nItem0=/bin/a\n[WallCaption]\nItem0=W\n[WallPath]\nItem0=/w.bmp\n");
    WriteCurrentSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\n\"Change\"=\"1\"\n");
    Build();
    EXPECT_EQ(main->WallIndex(), 255);
    EXPECT_TRUE(sp.wallpaper.sets.empty());
    EXPECT_EQ(Tile(), "<missing>");
}

TEST_F(MenuBuildTest, RebuildReplacesEverythingAndClickZeroSwapsTheButtons) {
    WriteConfig(DefaultEntries);
    Build();
    main->AutoChange(true);
    WriteConfig("[ItemCount]\nItemNumber=1\n[MenuCaption]\nItem0=Only\n[MenuName]\nItem0=Null\n[MenuPath]\nItem0=/x\n");
    WriteCurrentSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\n\"Click\"=\"0\"\n");
    Build();
    ASSERT_EQ(main->LaunchMenu()->Items()->Count(), 1);
    EXPECT_EQ(main->WallIndex(), 255);
    EXPECT_EQ(main->RecentIndex(), 255);
    EXPECT_EQ(main->TempIndex(), 255);
    EXPECT_EQ(main->FindComponent("P1"), nullptr);  // the old items are gone with their names
    EXPECT_EQ(main->TrayIcon1->LBPopupMenu.get(), main->PopupMenu2);
    EXPECT_EQ(main->TrayIcon1->RBPopupMenu.get(), main->LaunchMenu());
}

TEST_F(MenuBuildTest, BadOrDuplicateNamesEndTheBuildWithTheMenusStillUsable) {
    WriteConfig("[ItemCount]\nItemNumber=3\n[MenuCaption]\nItem0=A\nItem1=B\nItem2=C\n"
                "[MenuName]\nItem0=Null\nItem1=Veska2\nItem2=Null\n[MenuPath]\nItem0=/a\nItem1=/b\nItem2=/c\n");
    Build();
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_EQ(ErrorTexts()[0], sj("コンポーネント名 Veska2 はすでに使われています") + ".");
    // The build stopped at the bad entry, and the tray pops the new, live menu.
    EXPECT_EQ(main->LaunchMenu()->Items()->Count(), 2);
    EXPECT_EQ(main->TrayIcon1->LBPopupMenu.get(), main->LaunchMenu());
    EXPECT_EQ(main->TrayIcon1->RBPopupMenu.get(), main->PopupMenu2);

    WriteConfig("[ItemCount]\nItemNumber=2\n[MenuCaption]\nItem0=A\nItem1=B\n"
                "[MenuName]\nItem0=9lives\nItem1=Null\n[MenuPath]\nItem0=/a\nItem1=/b\n");
    WriteCurrentSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\n\"Click\"=\"0\"\n");
    Build();  // the failed build still binds the buttons as stored
    ASSERT_EQ(ErrorTexts().size(), 2u);
    EXPECT_EQ(main->LaunchMenu()->Items()->Count(), 1);
    EXPECT_EQ(main->TrayIcon1->LBPopupMenu.get(), main->PopupMenu2);
    EXPECT_EQ(main->TrayIcon1->RBPopupMenu.get(), main->LaunchMenu());

    WriteConfig("[ItemCount]\nItemNumber=2\n[MenuCaption]\nItem0=A\nItem1=B\n"
                "[MenuName]\nItem0=P2\nItem1=p2\n[MenuPath]\nItem0=/a\nItem1=/b\n");
    Build();
    ASSERT_EQ(ErrorTexts().size(), 3u);
    EXPECT_EQ(ErrorTexts()[2], sj("コンポーネント名 p2 はすでに使われています") + ".");
}

TEST_F(MenuBuildTest, IconFileErrorsAreShownAndTheMenusAreStillBound) {
    WriteConfig(DefaultEntries);
    WriteCurrentSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\n\"Icon\"=\"/no/such.ico\"\n");
    Build();
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_EQ(ErrorTexts()[0], sj("ファイル /no/such.ico は開けません") + ".");
    EXPECT_EQ(main->TrayIcon1->LBPopupMenu.get(), main->LaunchMenu());
    EXPECT_FALSE(main->TrayIcon1->Icon().Empty());  // the built-in icon stays

    WriteText(sp.root() + "/bad.ico", "not an icon at all, just text");
    WriteCurrentSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\n\"Icon\"=\"" + toUtf8(sp.root()) +
                         "/bad.ico\"\n");
    Build();
    ASSERT_EQ(ErrorTexts().size(), 2u);
    EXPECT_EQ(ErrorTexts()[1], sj("アイコンイメージが不正です") + ".");
}

TEST_F(MenuBuildTest, IconFileBecomesTheTrayPictureAndAnEmptyIconKeepsIt) {
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    const Bytes ico = sp.root() + "/red.ico";
    ASSERT_TRUE(picture.save(QString::fromStdString(toUtf8(ico)), "ICO"));
    WriteConfig(DefaultEntries);
    WriteCurrentSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\n\"Icon\"=\"" + toUtf8(ico) + "\"\n");
    Build();
    ASSERT_TRUE(sp.desktop.boxes.empty());
    EXPECT_EQ(main->TrayIcon1->Icon().Image().pixelColor(8, 8), QColor(Qt::red));
    EXPECT_EQ(sp.tray.calls.back().message, NIM_MODIFY);  // shown at once
    EXPECT_EQ(sp.tray.calls.back().data.hIcon, main->TrayIcon1->Icon().Handle());

    const auto calls = sp.tray.calls.size();
    WriteCurrentSettings();
    Build();  // no icon file: whatever was shown stays
    EXPECT_EQ(main->TrayIcon1->Icon().Image().pixelColor(8, 8), QColor(Qt::red));
    EXPECT_EQ(sp.tray.calls.size(), calls);
}

class PopupCheckTest : public MainFixture {
protected:
    void SetUp() override {
        folderA = sp.root() + "/a";
        folderB = sp.root() + "/b";
        std::filesystem::create_directories(toUtf8(folderB));
    }
    void WriteFolders(int count) {
        WriteConfig(std::string(DefaultEntries).replace(std::string(DefaultEntries).find("TempNumber=0"), 12,
                                                         "TempNumber=" + std::to_string(count)) +
                    "[TempFolder]\nPathItem0=" + toUtf8(folderA) + "\nPathItem1=" + toUtf8(folderB) + "\n");
    }
    bool Popped() {
        main->MyPopUpPopUp(main->LaunchMenu());
        return Launch(2)->Enabled;
    }
    Bytes folderA, folderB;
};

TEST_F(PopupCheckTest, TempEntryIsEnabledExactlyWhenSomeListedFolderHoldsAPlainFile) {
    WriteFolders(0);
    Build();
    EXPECT_TRUE(Popped());  // nothing listed: the entry keeps its state

    WriteFolders(2);
    Build();
    EXPECT_FALSE(Popped());  // first missing, second empty
    WriteText(folderB + "/.hidden", "x");
    std::filesystem::create_directories(toUtf8(folderB) + "/sub");
    EXPECT_FALSE(Popped());  // hidden files and folders do not count
    WriteText(folderB + "/file.tmp", "x");
    EXPECT_TRUE(Popped());   // found in the second folder after the first is missing
}

TEST_F(PopupCheckTest, RecentEntryFollowsTheRecentList) {
    WriteFolders(0);
    Build();
    sp.recent.any = false;
    main->MyPopUpPopUp(main->LaunchMenu());
    EXPECT_FALSE(Launch(1)->Enabled);
    sp.recent.any = true;
    main->MyPopUpPopUp(main->LaunchMenu());
    EXPECT_TRUE(Launch(1)->Enabled);
}

}  // namespace
}  // namespace veska::test
