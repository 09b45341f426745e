#include "MainFixture.h"

namespace veska::test {
namespace {

using StartupTest = MainFixture;

TEST_F(StartupTest, NoStoresUpgradesThenNextStartWritesDefaultsAndUpgradesAgain) {
    Start();
    EXPECT_EQ(Setting(names::Wall_paper, names::Change), "0");
    EXPECT_EQ(Setting(names::Wall_paper, names::Means), "1");
    EXPECT_EQ(Setting(names::Wall_paper, names::Order), "2");
    EXPECT_EQ(Setting(names::Style, names::Click), "1");
    EXPECT_EQ(Setting(names::Style, names::SWPFile), sp.paths.swapFile);
    EXPECT_EQ(Setting("", names::Version), "0.27");
    EXPECT_EQ(Setting("", names::Contents), "4");
    EXPECT_EQ(Setting(names::Check, names::TempDlg), "<missing>");  // left as it was
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(main->LaunchMenu()->Items()->Count(), 0);
    EXPECT_FALSE(main->ShowMainForm());
    EXPECT_EQ(Config(names::ItemCount, names::ItemNumber), "<missing>");  // the upgrade leaves the file alone

    // The dialog was closed without applying: the next start takes the first-start path.
    main.reset();
    Start();
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(Config(names::ItemCount, names::TempNumber), "1");
    EXPECT_EQ(Config(names::TempFolder, "PathItem0"), sp.paths.tempFolder);
    EXPECT_EQ(Config(names::ItemCount, names::ItemNumber), "4");
    EXPECT_EQ(Config(names::ItemCount, names::WallNumber), "<missing>");
    const char* captions[] = {"壁紙の変更", "「最近使ったファイル」の削除", "テンポラリファイルの削除", "システム情報..."};
    const char* namesInOrder[] = {"P1", "P2", "P4", "P3"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Config(names::MenuCaption, names::ItemKey(i)), sj(captions[i]));
        EXPECT_EQ(Config(names::MenuName, names::ItemKey(i)), namesInOrder[i]);
        EXPECT_EQ(Config(names::MenuPath, names::ItemKey(i)), "PersonalApplication");
        EXPECT_EQ(Config(names::MenuSound, names::ItemKey(i)), sj("(なし)"));
        EXPECT_EQ(Launch(i)->Caption, sj(captions[i]));
    }
    EXPECT_EQ(sp.desktop.boxes.size(), 0u);
}

TEST_F(StartupTest, VersionComparesItsFirstFourBytesBeforeTheCount) {
    WriteConfig("[ItemCount]\nItemNumber=1\n[MenuCaption]\nItem0=A\n[MenuName]\nItem0=Null\n[MenuPath]\nItem0=/bin/true\n");
    WriteSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\n\"Version\"=\"0.27.99\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\n\"Means\"=\"0\"\n");
    Start();
    EXPECT_EQ(dialogs, 0);  // plain build
    EXPECT_EQ(Setting(names::Wall_paper, names::Means), "0");
    EXPECT_EQ(Launch(0)->Caption, "A");

    main.reset();
    WriteSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\n\"Version\"=\"0.2\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\n\"Means\"=\"0\"\n");
    Start();
    EXPECT_EQ(dialogs, 1);  // upgrade: options reset, list kept
    EXPECT_EQ(Setting(names::Wall_paper, names::Means), "1");
    EXPECT_EQ(Setting("", names::Version), "0.27");
    EXPECT_EQ(Config(names::MenuCaption, "Item0"), "A");

    main.reset();
    WriteSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\n\"Version\"=\"0.2X\"\n");
    Start();
    EXPECT_EQ(dialogs, 2);
}

TEST_F(StartupTest, CountMinusOneUpgradesAnd256BuildsAnEmptyMenu) {
    WriteCurrentSettings();
    WriteConfig("[ItemCount]\nItemNumber=-1\n");
    Start();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(Config(names::ItemCount, names::ItemNumber), "-1");  // no first start

    main.reset();
    WriteConfig("[ItemCount]\nItemNumber=256\n[MenuCaption]\nItem0=A\n");
    Start();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(main->LaunchMenu()->Items()->Count(), 0);
    EXPECT_EQ(main->TrayIcon1->LBPopupMenu.get(), main->LaunchMenu());
}

TEST_F(StartupTest, UnwritableConfigurationShowsItsPathAndKeepsTheFile) {
    WriteCurrentSettings();
    WriteConfig("; mine\n[ItemCount]\nItemNumber=0\n");
    const std::string path = toUtf8(sp.ConfigPath());
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    std::ifstream before(path, std::ios::binary);
    std::string old((std::istreambuf_iterator<char>(before)), {});
    Start();
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_EQ(ErrorTexts()[0], sp.ConfigPath() + sj(" に書き込めません") + ".");
    EXPECT_EQ(sp.desktop.boxes[0].caption, "Veska");
    EXPECT_EQ(dialogs, 0);  // the path ended at the error
    std::ifstream after(path, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), old);
}

TEST_F(StartupTest, NonTextVersionShowsTheTypeError) {
    WriteSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\n\"Version\"=dword:00000027\n");
    Start();
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_EQ(ErrorTexts()[0], sj("'Version' のデータ型が不正です") + ".");
}

}  // namespace
}  // namespace veska::test
