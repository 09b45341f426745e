#include <gtest/gtest.h>

#include <filesystem>

#include "platform/scripted/ScriptedPlatform.h"
#include "store/Names.h"
#include "store/SettingsKey.h"
#include "store/StoreFiles.h"
#include "text/Codec.h"
#include "vcl/Exception.h"

using namespace veska;
using namespace veska::testing;
namespace fs = std::filesystem;

namespace {

class SettingsKeyTest : public ::testing::Test {
protected:
    ScriptedPlatform sp;
    Bytes file = sp.paths.settingsFile;
    const Bytes header = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\r\n";
    void seed(const Bytes& text) {
        fs::create_directories(fs::path(file).parent_path());
        spit(file, text);
    }
};

template <typename F>
Bytes raised(F f) {
    try {
        f();
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return "";
}

}  // namespace

TEST_F(SettingsKeyTest, OpeningCreatesTheKeyAndItsFolderAtClose) {
    SettingsKey key(sp.files, file, names::VeskaKey);
    EXPECT_EQ(key.ReadString("", names::Version, ""), "");
    EXPECT_FALSE(fs::exists(file));
    key.Close();
    EXPECT_EQ(slurp(file), header);
}

TEST_F(SettingsKeyTest, MissingValuesAndSubkeysReadAsDefaults) {
    seed(header + "\"Version\"=\"0.27\"\r\n");
    SettingsKey key(sp.files, file, names::VeskaKey);
    EXPECT_EQ(key.ReadString("", names::Version, "x"), "0.27");
    EXPECT_EQ(key.ReadInteger(names::Wall_paper, names::Order, 2), 2);
    EXPECT_TRUE(key.ReadBool(names::Style, names::Click, true));
    EXPECT_FALSE(key.ReadBool(names::Wall_paper, names::Change, false));
    key.Close();
    EXPECT_EQ(slurp(file), header + "\"Version\"=\"0.27\"\r\n");  // reading changes nothing
}

TEST_F(SettingsKeyTest, IntegersAreReadFromTextWithoutZeroX) {
    seed(header + "\r\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\r\n\"Order\"=\" 5\"\r\n"
                  "\"Hex\"=\"$1F\"\r\n\"ZeroX\"=\"0x1F\"\r\n\"Change\"=\"yes\"\r\n\"Means\"=\"0\"\r\n");
    SettingsKey key(sp.files, file, names::VeskaKey);
    EXPECT_EQ(key.ReadInteger(names::Wall_paper, names::Order, 2), 5);
    EXPECT_EQ(key.ReadInteger(names::Wall_paper, "Hex", 0), 31);
    EXPECT_EQ(key.ReadInteger(names::Wall_paper, "ZeroX", 9), 9);
    EXPECT_TRUE(key.ReadBool(names::Wall_paper, names::Change, true));
    EXPECT_FALSE(key.ReadBool(names::Wall_paper, names::Change, false));
    EXPECT_FALSE(key.ReadBool(names::Wall_paper, names::Means, true));
}

TEST_F(SettingsKeyTest, AValueOfAnotherTypeIsAnErrorNamingTheValue) {
    seed(header + "\"Version\"=dword:0000001b\r\n\"Contents\"=hex:34,00\r\n");
    SettingsKey key(sp.files, file, names::VeskaKey);
    const Bytes bad = sj("'Version' のデータ型が不正です");
    EXPECT_EQ(raised([&] { key.ReadString("", names::Version, ""); }), bad);
    EXPECT_EQ(raised([&] { key.ReadInteger("", names::Version, 0); }), bad);
    EXPECT_EQ(raised([&] { key.ReadBool("", "Contents", false); }), sj("'Contents' のデータ型が不正です"));
    key.WriteString("", names::Version, "0.27");  // writing replaces it with text
    EXPECT_EQ(key.ReadString("", names::Version, ""), "0.27");
}

TEST_F(SettingsKeyTest, WritesCreateSubkeysAndStoreText) {
    {
        SettingsKey key(sp.files, file, names::VeskaKey);
        key.WriteBool(names::Wall_paper, names::Change, true);
        key.WriteInteger(names::Wall_paper, names::Order, 2);
        key.WriteString(names::Style, names::Icon, "/usr/share/" + sj("表") + "/a.ico");
        key.WriteInteger("", names::Contents, 4);
        key.Close();
    }
    SettingsKey again(sp.files, file, "software\\tollbrae\\VESKA");
    EXPECT_TRUE(again.ReadBool("wall_paper", "change", false));
    EXPECT_EQ(again.ReadInteger(names::Wall_paper, names::Order, 0), 2);
    EXPECT_EQ(again.ReadString(names::Style, names::Icon, ""), "/usr/share/" + sj("表") + "/a.ico");
    EXPECT_NE(slurp(file).find("\"Change\"=\"1\"\r\n\"Order\"=\"2\""), Bytes::npos);
}

TEST_F(SettingsKeyTest, ControlPanelDesktopSharesTheFile) {
    {
        SettingsKey key(sp.files, file, names::VeskaKey);
        key.WriteString("", names::Version, "0.27");
        key.Close();
    }
    {
        SettingsKey desk(sp.files, file, names::ControlPanelKey);
        desk.WriteString(names::Desktop, names::TileWallpaper, "1");
        desk.Close();
    }
    SettingsKey key(sp.files, file, names::VeskaKey);
    EXPECT_EQ(key.ReadString("", names::Version, ""), "0.27");
    SettingsKey desk(sp.files, file, names::ControlPanelKey);
    EXPECT_EQ(desk.ReadString(names::Desktop, names::TileWallpaper, ""), "1");
}

TEST_F(SettingsKeyTest, KeyCreationThatCannotBeStoredRaisesAndLeavesTheFile) {
    seed("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n\"a\"=\"1\"\r\n");
    const Bytes before = slurp(file);
    chmodTo(file, fs::perms::owner_read);
    SettingsKey key(sp.files, file, names::VeskaKey);
    EXPECT_EQ(raised([&] { key.Close(); }), sj("キー Software\\Tollbrae\\Veska の作成に失敗しました"));
    EXPECT_EQ(slurp(file), before);
}

TEST_F(SettingsKeyTest, AValueThatCannotBeStoredRaisesItsNameAndLeavesTheFile) {
    seed(header + "\"Version\"=\"0.26\"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\r\n");
    const Bytes before = slurp(file);
    chmodTo(fs::path(file).parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    SettingsKey key(sp.files, file, names::VeskaKey);
    key.WriteString("", names::Version, "0.27");
    key.WriteBool(names::Style, names::Click, true);
    EXPECT_EQ(raised([&] { key.Close(); }), sj("'Version' の設定に失敗しました"));
    chmodTo(fs::path(file).parent_path(), fs::perms::owner_all);
    EXPECT_EQ(slurp(file), before);
}

TEST_F(SettingsKeyTest, ASubkeyCreatedByAWriteNamesTheSubkeyWhenRefused) {
    seed(header);
    chmodTo(file, fs::perms::owner_read);
    SettingsKey key(sp.files, file, names::VeskaKey);
    key.WriteString(names::Check, names::TempDlg, "1");
    EXPECT_EQ(raised([&] { key.Close(); }), sj("キー Check の作成に失敗しました"));
}

TEST_F(SettingsKeyTest, AFolderThatCannotBeCreatedIsRefused) {
    chmodTo(sp.root(), fs::perms::owner_read | fs::perms::owner_exec);
    SettingsKey key(sp.files, file, names::VeskaKey);
    EXPECT_EQ(raised([&] { key.Close(); }), sj("キー Software\\Tollbrae\\Veska の作成に失敗しました"));
    chmodTo(sp.root(), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(sp.root() + "/config"));
}

TEST_F(SettingsKeyTest, AValueWithALineBreakIsRefusedAtOnce) {
    SettingsKey key(sp.files, file, names::VeskaKey);
    EXPECT_EQ(raised([&] { key.WriteString(names::Style, names::Icon, "a\nb"); }),
              sj("'Icon' の設定に失敗しました"));
}
