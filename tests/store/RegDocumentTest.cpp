#include <gtest/gtest.h>

#include <stdexcept>

#include "store/RegDocument.h"
#include "text/Codec.h"

using namespace veska;

namespace {
const Bytes Hyo = sj("表");  // 0x95 0x5C
const Bytes Key = "Software\\Tollbrae\\Veska";
using Kind = RegDocument::Kind;

const Bytes Exported =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\r\n"
    "\"Version\"=\"0.27\"\r\n"
    "\"Contents\"=dword:00000004\r\n"
    "@=\"default\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\r\n"
    "\"Icon\"=\"C:\\\\Program Files\\\\" + Hyo + "\\\\veska.ico\"\r\n"
    "\"Blob\"=hex:01,02,03,\\\r\n"
    "  04,05\r\n"
    "\"Click\"=\"1\"\r\n"
    "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
    "\"TileWallpaper\"=\"0\"\r\n"
    "\"Expand\"=hex(2):25,00\r\n";
}  // namespace

TEST(RegDocumentRead, StringValuesWithEscapesAndADoubleByteBackslash) {
    RegDocument doc(Exported);
    EXPECT_EQ(doc.Get(Key, "Version").text, "0.27");
    EXPECT_EQ(doc.Get(Key + "\\Style", "Icon").text, "C:\\Program Files\\" + Hyo + "\\veska.ico");
    EXPECT_EQ(doc.Get(Key + "\\Style", "Quote").text, "say \"hi\"");
    EXPECT_EQ(doc.Get(Key, "").text, "default");
    EXPECT_EQ(doc.Get("Control Panel\\Desktop", "TileWallpaper").text, "0");
}

TEST(RegDocumentRead, KeyPathsAndValueNamesIgnoreAsciiCase) {
    RegDocument doc(Exported);
    EXPECT_EQ(doc.Get("SOFTWARE\\tollbrae\\veska\\style", "click").kind, Kind::Text);
    EXPECT_EQ(doc.Get("software\\TOLLBRAE\\Veska", "VERSION").text, "0.27");
    EXPECT_EQ(doc.Get(Key + "\\Styles", "Click").kind, Kind::Missing);
    EXPECT_EQ(doc.Get(Key, "Click").kind, Kind::Missing);
}

TEST(RegDocumentRead, DwordAndHexValuesAreOfAnotherTypeAndContinuationsStayWithThem) {
    RegDocument doc(Exported);
    EXPECT_EQ(doc.Get(Key, "Contents").kind, Kind::Other);
    EXPECT_EQ(doc.Get(Key + "\\Style", "Blob").kind, Kind::Other);
    EXPECT_EQ(doc.Get("Control Panel\\Desktop", "Expand").kind, Kind::Other);
    // The continuation line "  04,05" is no value of its own, and "Click" after it is read.
    EXPECT_EQ(doc.Get(Key + "\\Style", "Click").text, "1");
    EXPECT_EQ(doc.Serialize(), Exported);
}

TEST(RegDocumentRead, AKeyExistsWhenItOrAKeyBelowItStandsInTheFile) {
    RegDocument doc(Exported);
    EXPECT_TRUE(doc.KeyExists(Key));
    EXPECT_TRUE(doc.KeyExists("Software\\Tollbrae"));
    EXPECT_TRUE(doc.KeyExists("control panel"));
    EXPECT_FALSE(doc.KeyExists("Software\\Toll"));
    EXPECT_FALSE(doc.KeyExists(Key + "\\Check"));
}

TEST(RegDocumentRead, MalformedLinesAreNoValuesAndAreKept) {
    const Bytes text =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"open=\"x\"\r\n\"a\"=\"unterminated\r\n\"b\"=junk\r\n; note\r\n"
        "\"c\"=\"ok\" trailing\r\n\"d\"=\"fine\"\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"d\"=\"machine\"\r\n";
    RegDocument doc(text);
    EXPECT_EQ(doc.Get("K", "a").kind, Kind::Missing);
    EXPECT_EQ(doc.Get("K", "b").kind, Kind::Missing);
    EXPECT_EQ(doc.Get("K", "c").kind, Kind::Missing);
    EXPECT_EQ(doc.Get("K", "d").text, "fine");
    EXPECT_EQ(doc.Serialize(), text);
}

TEST(RegDocumentRead, LfFileAndLeadByteBeforeQuoteAtTheEnd) {
    RegDocument doc("REGEDIT4\n\n[HKEY_CURRENT_USER\\" + Hyo + "]\n\"" + Hyo + "\"=\"" + Hyo + "\"\n");
    EXPECT_EQ(doc.Get(Hyo, Hyo).text, Hyo);
}

TEST(RegDocumentWrite, ANewFileGetsTheHeaderAndTheKey) {
    RegDocument doc;
    EXPECT_TRUE(doc.CreateKey(Key));
    EXPECT_FALSE(doc.CreateKey("software\\tollbrae\\veska"));
    EXPECT_EQ(doc.Serialize(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\r\n");
    EXPECT_TRUE(doc.Set(Key + "\\Wall_paper", "Change", "1"));
    EXPECT_TRUE(doc.Set(Key, "Version", "0.27"));
    EXPECT_TRUE(doc.Set(Key, "Contents", "4"));
    EXPECT_EQ(doc.Serialize(),
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\r\n\"Version\"=\"0.27\"\r\n"
              "\"Contents\"=\"4\"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\r\n"
              "\"Change\"=\"1\"\r\n");
}

TEST(RegDocumentWrite, ReplacesValuesInPlaceWhateverTheirTypeAndKeepsTheRest) {
    RegDocument doc(Exported);
    EXPECT_FALSE(doc.Set(Key + "\\Style", "Click", "1"));
    EXPECT_TRUE(doc.Set(Key + "\\style", "BLOB", "text now"));
    EXPECT_TRUE(doc.Set(Key, "Contents", "4"));
    Bytes expected = Exported;
    expected.replace(expected.find("\"Blob\"=hex:01,02,03,\\\r\n  04,05"), 30, "\"BLOB\"=\"text now\"");
    expected.replace(expected.find("\"Contents\"=dword:00000004"), 25, "\"Contents\"=\"4\"");
    EXPECT_EQ(doc.Serialize(), expected);
    EXPECT_EQ(RegDocument(doc.Serialize()).Get(Key, "Contents").text, "4");
}

TEST(RegDocumentWrite, NewValuesFollowTheLastValueOfTheKeyBeforeItsBlankLines) {
    RegDocument doc(Exported);
    doc.Set(Key, "Added", "x");
    doc.Set("Control Panel\\Desktop", "Wallpaper", "");
    RegDocument back(doc.Serialize());
    EXPECT_EQ(back.Get(Key, "Added").text, "x");
    EXPECT_EQ(back.Get("Control Panel\\Desktop", "Wallpaper").kind, Kind::Text);
    const Bytes out = doc.Serialize();
    EXPECT_NE(out.find("@=\"default\"\r\n\"Added\"=\"x\"\r\n\r\n[HKEY_CURRENT_USER\\Software"), Bytes::npos);
    EXPECT_NE(out.find("\"Expand\"=hex(2):25,00\r\n\"Wallpaper\"=\"\"\r\n"), Bytes::npos);
}

TEST(RegDocumentWrite, EscapesBackslashesAndQuotesButNotDoubleByteTrailBytes) {
    RegDocument doc;
    doc.Set("K", "v", "a\\b\"c" + Hyo);
    doc.Set("K", "", "dflt");
    doc.Set("K", "@", "named at");
    EXPECT_EQ(doc.Serialize(),
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"a\\\\b\\\"c" + Hyo + "\"\r\n@=\"dflt\"\r\n"
              "\"@\"=\"named at\"\r\n");
    RegDocument back(doc.Serialize());
    EXPECT_EQ(back.Get("K", "v").text, "a\\b\"c" + Hyo);
    EXPECT_EQ(back.Get("K", "").text, "dflt");
    EXPECT_EQ(back.Get("K", "@").text, "named at");
}

TEST(RegDocumentWrite, RefusesTextsThatCannotStandInTheFile) {
    RegDocument doc;
    EXPECT_THROW(doc.Set("K", "v", "line\nbreak"), std::invalid_argument);
    EXPECT_THROW(doc.Set("K", "v", "lone lead \x81"), std::invalid_argument);
    EXPECT_THROW(doc.Set("K\\\\L", "v", "x"), std::invalid_argument);
    EXPECT_THROW(doc.Set("K\\", "v", "x"), std::invalid_argument);
    EXPECT_THROW(doc.CreateKey(""), std::invalid_argument);
    EXPECT_TRUE(RegDocument::CanStorePath("K\\" + Hyo));  // ends in a 0x5C trail byte, not a separator
    EXPECT_EQ(doc.Serialize(), "REGEDIT4\r\n");
}

TEST(RegDocumentWrite, AFileWithoutTheHeaderGetsOne) {
    RegDocument doc("[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"1\"\r\n");
    EXPECT_EQ(doc.Get("K", "a").text, "1");
    EXPECT_EQ(doc.Serialize(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"1\"\r\n");
}

TEST(RegDocumentWrite, AValueAddedAfterAHexValueCutOffMidContinuationStaysAValue) {
    RegDocument doc("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"Blob\"=hex:01,02,\\\r\n");
    doc.Set("K", "After", "x");
    doc.Set("K", "After", "y");
    RegDocument back(doc.Serialize());
    EXPECT_EQ(back.Get("K", "After").text, "y");
    EXPECT_EQ(back.Get("K", "Blob").kind, Kind::Other);
    EXPECT_EQ(back.Serialize(), doc.Serialize());
}
