#include <gtest/gtest.h>

#include <filesystem>

#include "platform/scripted/ScriptedPlatform.h"
#include "store/ConfigFile.h"
#include "store/Names.h"
#include "store/StoreFiles.h"
#include "text/Codec.h"

using namespace veska;
using namespace veska::testing;
namespace fs = std::filesystem;

namespace {

class ConfigFileTest : public ::testing::Test {
protected:
    ScriptedPlatform sp;
    Bytes path = sp.ConfigPath();
    Bytes message() const { return path + sj(" に書き込めません"); }
};

// Runs f and returns the message it raised, or "" when it raised nothing.
template <typename F>
Bytes raised(F f) {
    try {
        f();
    } catch (const EIniFileException& e) {
        return e.Message();
    }
    return "";
}

}  // namespace

TEST_F(ConfigFileTest, AMissingFileReadsAsDefaultsAndIsNotCreatedByReading) {
    ConfigFile cf(sp.files, path);
    EXPECT_EQ(cf.ReadInteger(names::ItemCount, names::ItemNumber, 0), 0);
    EXPECT_EQ(cf.ReadString(names::MenuCaption, "Item0", "dflt"), "dflt");
    EXPECT_TRUE(cf.ReadBool("Any", "Thing", true));
    EXPECT_FALSE(cf.ReadBool("Any", "Thing", false));
    cf.Close();
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(ConfigFileTest, IntegersAndBooleansFollowTheTextRules) {
    spit(path, "[N]\r\na= 12\r\nb=0x1F\r\nc=$10\r\nd=-3\r\ne=twelve\r\nf=0\r\ng=2\r\nh=\r\n");
    ConfigFile cf(sp.files, path);
    EXPECT_EQ(cf.ReadInteger("N", "a", 0), 12);
    EXPECT_EQ(cf.ReadInteger("N", "b", 0), 31);
    EXPECT_EQ(cf.ReadInteger("N", "c", 0), 16);
    EXPECT_EQ(cf.ReadInteger("N", "d", 0), -3);
    EXPECT_EQ(cf.ReadInteger("N", "e", 7), 7);
    EXPECT_EQ(cf.ReadInteger("N", "h", 7), 7);
    EXPECT_FALSE(cf.ReadBool("N", "f", true));
    EXPECT_TRUE(cf.ReadBool("N", "g", false));
    EXPECT_TRUE(cf.ReadBool("N", "e", true));  // not a number: the default
    EXPECT_FALSE(cf.ReadBool("N", "e", false));
}

TEST_F(ConfigFileTest, WritesReachTheFileOnlyAtCloseAndInCrlf) {
    spit(path, "[ItemCount]\nItemNumber=1\n");
    {
        ConfigFile cf(sp.files, path);
        cf.WriteInteger(names::ItemCount, names::ItemNumber, 2);
        cf.WriteBool(names::WallStyle, "Item0", false);
        cf.WriteString(names::MenuCaption, "Item0", sj("メモ帳"));
        EXPECT_EQ(cf.ReadInteger(names::ItemCount, names::ItemNumber, 0), 2);  // reads see the parsed copy
        EXPECT_EQ(slurp(path), "[ItemCount]\nItemNumber=1\n");
        cf.Close();
    }
    EXPECT_EQ(slurp(path), "[ItemCount]\r\nItemNumber=2\r\n\r\n[WallStyle]\r\nItem0=0\r\n\r\n[MenuCaption]\r\nItem0=" +
                               sj("メモ帳") + "\r\n");
}

TEST_F(ConfigFileTest, DoubleByteNamesAndValuesEndingInABackslashByteRoundTrip) {
    const Bytes hyo = sj("表");  // 0x95 0x5C
    {
        ConfigFile cf(sp.files, path);
        cf.WriteString(hyo, hyo, "C:\\" + hyo);
        cf.WriteString(hyo, "k", hyo);
        cf.Close();
    }
    ConfigFile cf(sp.files, path);
    EXPECT_EQ(cf.ReadString(hyo, hyo, ""), "C:\\" + hyo);
    EXPECT_EQ(cf.ReadString(hyo, "K", ""), hyo);
    EXPECT_EQ(cf.ReadString(sj("表示"), hyo, "none"), "none");
}

TEST_F(ConfigFileTest, ClosingWithoutCloseDiscardsTheChanges) {
    spit(path, "[S]\r\nk=old\r\n");
    {
        ConfigFile cf(sp.files, path);
        cf.WriteString("S", "k", "new");
    }
    EXPECT_EQ(slurp(path), "[S]\r\nk=old\r\n");
}

TEST_F(ConfigFileTest, EraseSectionRemovesItFromTheFile) {
    spit(path, "[A]\r\nk=1\r\n\r\n[MenuPath]\r\nItem0=x\r\n\r\n[B]\r\nk=2\r\n");
    ConfigFile cf(sp.files, path);
    cf.EraseSection("menupath");
    cf.Close();
    EXPECT_EQ(slurp(path), "[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\n");
}

TEST_F(ConfigFileTest, ARefusedWriteRaisesThePathAndLeavesAReadOnlyFileByteIdentical) {
    const Bytes before = "[S]\nk=old\n; comment\n";
    spit(path, before);
    chmodTo(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ConfigFile cf(sp.files, path);
    cf.WriteString("S", "k", "new");
    EXPECT_EQ(raised([&] { cf.Close(); }), message());
    EXPECT_EQ(slurp(path), before);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()), fs::directory_iterator()), 1);
}

TEST_F(ConfigFileTest, ARefusedWriteInAMissingFolderRaisesAndCreatesNothing) {
    path = sp.root() + "/nowhere/VESKA.INI";
    ConfigFile cf(sp.files, path);
    cf.WriteInteger(names::ItemCount, names::TempNumber, 1);
    EXPECT_EQ(raised([&] { cf.Close(); }), message());
    EXPECT_FALSE(fs::exists(sp.root() + "/nowhere"));
}

TEST_F(ConfigFileTest, ARefusedWriteInAnUnwritableFolderLeavesTheFileAndFolderAsTheyWere) {
    const Bytes before = "[S]\r\nk=old\r\n";
    spit(path, before);
    const std::string folder = fs::path(path).parent_path();
    chmodTo(folder, fs::perms::owner_read | fs::perms::owner_exec);
    ConfigFile cf(sp.files, path);
    cf.WriteString("S", "k", "new");
    EXPECT_EQ(raised([&] { cf.Close(); }), message());
    chmodTo(folder, fs::perms::owner_all);
    EXPECT_EQ(slurp(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(ConfigFileTest, AnUnchangedWriteToAReadOnlyFileIsRefusedAsAnyWrite) {
    spit(path, "[S]\r\nk=v\r\n");
    chmodTo(path, fs::perms::owner_read);
    ConfigFile cf(sp.files, path);
    cf.WriteString("S", "k", "v");
    EXPECT_EQ(raised([&] { cf.Close(); }), message());
}

TEST_F(ConfigFileTest, ALineBreakInAValueIsRefusedAsAWriteError) {
    spit(path, "[S]\r\nk=v\r\n");
    ConfigFile cf(sp.files, path);
    EXPECT_EQ(raised([&] { cf.WriteString("S", "k", "x\r\n[MenuPath]\r\nItem0=/bin/evil"); }), message());
    cf.Close();
    EXPECT_EQ(slurp(path), "[S]\r\nk=v\r\n");
}

TEST_F(ConfigFileTest, AFileThatCannotBeReadIsNeverReplaced) {
    fs::create_directory(path);  // something in the file's place that is no file
    ConfigFile cf(sp.files, path);
    EXPECT_EQ(cf.ReadString("S", "k", "d"), "d");
    cf.WriteString("S", "k", "v");
    EXPECT_EQ(raised([&] { cf.Close(); }), message());
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(ConfigFileTest, AStaleTemporaryFileNeitherHidesNorReplacesTheFile) {
    spit(path, "[S]\r\nk=real\r\n");
    spit(path + ".tmp-AbC123", "[S]\r\nk=torn");
    {
        ConfigFile cf(sp.files, path);
        EXPECT_EQ(cf.ReadString("S", "k", ""), "real");
        cf.WriteString("S", "k", "next");
        cf.Close();
    }
    EXPECT_EQ(slurp(path), "[S]\r\nk=next\r\n");
    EXPECT_EQ(slurp(path + ".tmp-AbC123"), "[S]\r\nk=torn");
}

TEST_F(ConfigFileTest, KeysWrittenBeforeAFailedCloseStayInTheParsedCopyForARetry) {
    spit(path, "[S]\r\nk=old\r\n");
    chmodTo(path, fs::perms::owner_read);
    ConfigFile cf(sp.files, path);
    cf.WriteString("S", "k", "new");
    EXPECT_EQ(raised([&] { cf.Close(); }), message());
    chmodTo(path, fs::perms::owner_read | fs::perms::owner_write);
    cf.Close();
    EXPECT_EQ(slurp(path), "[S]\r\nk=new\r\n");
}

TEST(ConfigFilePath, ReplacesTheLastExtensionOrAppendsOne) {
    EXPECT_EQ(ConfigFilePath("/opt/veska/VESKA.EXE"), "/opt/veska/VESKA.INI");
    EXPECT_EQ(ConfigFilePath("/opt/veska/veska"), "/opt/veska/veska.INI");
    EXPECT_EQ(ConfigFilePath("/opt/v1.2/veska"), "/opt/v1.2/veska.INI");
    EXPECT_EQ(ConfigFilePath("/opt/veska/veska.tar.gz"), "/opt/veska/veska.tar.INI");
    EXPECT_EQ(ConfigFilePath("/opt/veska/.veska"), "/opt/veska/.veska.INI");
    EXPECT_EQ(ConfigFilePath("veska.bin"), "veska.INI");
}

TEST(ConfigFilePath, LongPathsStayBesideTheProgramAndNeverNameIt) {
    const Bytes folder = "/" + Bytes(244, 'd') + "/";
    const Bytes program = folder + Bytes(255 - folder.size(), 'v');  // exactly 255 bytes, no extension
    EXPECT_EQ(ConfigFilePath(program), program + ".INI");
    const Bytes longer = folder + Bytes(300, 'v') + sj("表");
    EXPECT_EQ(ConfigFilePath(longer), longer + ".INI");
}
