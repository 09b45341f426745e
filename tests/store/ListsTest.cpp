#include <gtest/gtest.h>

#include "platform/scripted/ScriptedPlatform.h"
#include "store/Lists.h"
#include "store/Names.h"
#include "store/StoreFiles.h"
#include "text/Codec.h"

using namespace veska;
using namespace veska::testing;

namespace {
class ListsTest : public ::testing::Test {
protected:
    ScriptedPlatform sp;
    Bytes path = sp.ConfigPath();
};
}  // namespace

TEST(Names, TheNoneMarkIsTheCp932OfItsText) { EXPECT_EQ(names::None, sj("(なし)")); }

TEST_F(ListsTest, CountsAreTakenModulo256) {
    spit(path, "[ItemCount]\r\nItemNumber=256\r\nWallNumber=300\r\nTempNumber=-1\r\n");
    ConfigFile cf(sp.files, path);
    EXPECT_EQ(ReadCount(cf, names::ItemNumber), 0);
    EXPECT_EQ(ReadCount(cf, names::WallNumber), 44);
    EXPECT_EQ(ReadCount(cf, names::TempNumber), 255);
    EXPECT_EQ(ReadCount(cf, "Missing"), 0);
}

TEST_F(ListsTest, AMissingKeyRepeatsThePreviousEntry) {
    spit(path, "[ItemCount]\r\nItemNumber=4\r\n[MenuCaption]\r\nItem0=a\r\nItem1=b\r\nItem2=c\r\n"
               "[MenuName]\r\nItem1=P1\r\n");
    ConfigFile cf(sp.files, path);
    int n = ReadCount(cf, names::ItemNumber);
    EXPECT_EQ(ReadTextList(cf, names::MenuCaption, names::Item, n, ""), (std::vector<Bytes>{"a", "b", "c", "c"}));
    EXPECT_EQ(ReadTextList(cf, names::MenuName, names::Item, n, "first"),
              (std::vector<Bytes>{"first", "P1", "P1", "P1"}));
    EXPECT_TRUE(ReadTextList(cf, names::MenuCaption, names::Item, 0, "").empty());
}

TEST_F(ListsTest, WallStyleDefaultAtPositionZeroIsTheCallersAndThenThePreviousValue) {
    spit(path, "[WallStyle]\r\nItem1=0\r\nItem3=1\r\n");
    ConfigFile cf(sp.files, path);
    EXPECT_EQ(ReadBoolList(cf, names::WallStyle, names::Item, 5, true),
              (std::vector<bool>{true, false, false, true, true}));
    EXPECT_EQ(ReadBoolList(cf, names::WallStyle, names::Item, 1, false), (std::vector<bool>{false}));
}

TEST_F(ListsTest, PathItemKeysForTemporaryFolders) {
    spit(path, "[TempFolder]\r\nPathItem0=/tmp\r\nItem1=/wrong\r\n");
    ConfigFile cf(sp.files, path);
    EXPECT_EQ(ReadTextList(cf, names::TempFolder, names::PathItem, 2, ""), (std::vector<Bytes>{"/tmp", "/tmp"}));
}

TEST_F(ListsTest, RewritingAShorterListLeavesNoStaleKeys) {
    {
        ConfigFile cf(sp.files, path);
        cf.WriteInteger(names::ItemCount, names::ItemNumber, 3);
        WriteTextList(cf, names::MenuCaption, names::Item, {"a", "b", "c"});
        WriteBoolList(cf, names::WallStyle, names::Item, {true, false});
        cf.Close();
    }
    {
        ConfigFile cf(sp.files, path);
        EraseListSections(cf);
        cf.WriteInteger(names::ItemCount, names::ItemNumber, 1);
        WriteTextList(cf, names::MenuCaption, names::Item, {"z"});
        cf.Close();
    }
    EXPECT_EQ(slurp(path), "[ItemCount]\r\nItemNumber=1\r\n\r\n[MenuCaption]\r\nItem0=z\r\n");
}
