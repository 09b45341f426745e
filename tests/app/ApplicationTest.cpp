#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Unit0/Main.h"
#include "app/Application.h"
#include "platform/scripted/ScriptedPlatform.h"
#include "text/Codec.h"

namespace veska {
namespace {

TEST(Application, SecondInstanceIsRefusedBeforeAnythingIsCreated) {
    ScriptedPlatform sp;
    sp.lock.alreadyExists = true;
    int loops = 0;
    EXPECT_EQ(RunVeska(sp.platform(), [&] { ++loops; }), 0);
    EXPECT_EQ(sp.lock.names, std::vector<Bytes>{"QOTVeska"});
    ASSERT_EQ(sp.desktop.boxes.size(), 1u);
    EXPECT_EQ(sp.desktop.boxes[0].text, sj("すでに常駐しているため起動できません。"));
    EXPECT_EQ(sp.desktop.boxes[0].caption, "");  // the system's default title
    EXPECT_EQ(sp.desktop.boxes[0].type, MB_OK | MB_ICONHAND);
    EXPECT_TRUE(sp.tray.calls.empty());
    EXPECT_EQ(loops, 0);
}

TEST(Application, FailedRegistrationIsFatal) {
    ScriptedPlatform sp;
    sp.tray.failAdd = true;
    int loops = 0;
    EXPECT_NE(RunVeska(sp.platform(), [&] { ++loops; }), 0);
    ASSERT_EQ(sp.desktop.boxes.size(), 1u);
    EXPECT_EQ(sp.desktop.boxes[0].text, sj("タスクトレイにアイコンを登録できません。") + ".");
    EXPECT_EQ(sp.desktop.boxes[0].caption, sj("アプリケーション エラー"));
    EXPECT_EQ(loops, 0);
}

TEST(Application, RunsTheLoopAndTheIconLeavesWithTheForm) {
    ScriptedPlatform sp;
    // Stores that take the plain path, so no dialog opens.
    std::filesystem::create_directories(std::filesystem::path(sp.paths.settingsFile).parent_path());
    std::ofstream(sp.paths.settingsFile) << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\r\n"
                                            "\"Version\"=\"0.27\"\r\n";
    std::ofstream(sp.ConfigPath()) << "[ItemCount]\r\nItemNumber=1\r\n";
    int loops = 0;
    EXPECT_EQ(RunVeska(sp.platform(), [&] { ++loops; }), 0);
    EXPECT_EQ(loops, 1);
    ASSERT_GE(sp.tray.calls.size(), 2u);
    EXPECT_EQ(sp.tray.calls.front().message, NIM_ADD);
    EXPECT_EQ(sp.tray.calls.front().data.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_STREQ(sp.tray.calls.front().data.szTip, "Veska Version 0.27.99");
    EXPECT_TRUE(sp.tray.calls.front().hadImage);
    EXPECT_EQ(sp.tray.calls.back().message, NIM_DELETE);
}

TEST(Application, CommandMenuDisablesPropertiesWhileTheDialogIsOpenAndExitCloses) {
    ScriptedPlatform sp;
    TMain main(sp.platform());
    bool enabledInside = true;
    main.ShowPropertiesDialog = [&](TMain& m) {
        enabledInside = m.Veska1->Enabled;
        m.Veska2->Click();  // exit chosen from the tray while the dialog is open
    };
    EXPECT_EQ(main.Veska1->Caption, sj("Veska のプロパティ(&R)..."));
    EXPECT_EQ(main.Veska2->Caption, sj("Veska の終了(&X)"));
    EXPECT_EQ(main.TrayIcon1->RBPopupMenu.get(), main.PopupMenu2);
    main.Veska1->Click();
    EXPECT_FALSE(enabledInside);
    EXPECT_TRUE(main.Veska1->Enabled);
    EXPECT_TRUE(main.Closed());
    EXPECT_EQ(sp.desktop.quitCalls, 1);
}

}  // namespace
}  // namespace veska
