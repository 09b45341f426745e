#include <gtest/gtest.h>

#include <stdexcept>

#include "store/IniDocument.h"
#include "text/Codec.h"

using namespace veska;

namespace {
const Bytes Hyo = sj("表");  // 0x95 0x5C: the trail byte is a backslash
const Bytes A = sj("ア");    // 0x83 0x41: the trail byte is "A"
}  // namespace

TEST(IniDocumentRead, NamesIgnoreAsciiCaseAndBlanksAroundNamesAndValues) {
    IniDocument doc("[MenuCaption]\r\n  item0 =  Notepad  \r\n[ itemcount ]\r\nITEMNUMBER=4\r\n");
    EXPECT_EQ(doc.Get("MenuCaption", "Item0"), "Notepad");
    EXPECT_EQ(doc.Get("MENUCAPTION", "ITEM0"), "Notepad");
    EXPECT_EQ(doc.Get("ItemCount", "ItemNumber"), "4");
    EXPECT_EQ(doc.Get(" ItemCount ", " ItemNumber "), "4");
    EXPECT_FALSE(doc.Get("MenuCaption", "Item1").has_value());
    EXPECT_FALSE(doc.Get("MenuName", "Item0").has_value());
}

TEST(IniDocumentRead, LfAndCrlfFilesReadTheSame) {
    IniDocument lf("[S]\nk=v\nlast=x");
    IniDocument crlf("[S]\r\nk=v\r\nlast=x\r\n");
    EXPECT_EQ(lf.Get("S", "k"), "v");
    EXPECT_EQ(lf.Get("S", "last"), "x");
    EXPECT_EQ(crlf.Get("S", "k"), "v");
    EXPECT_EQ(crlf.Get("S", "last"), "x");
    EXPECT_EQ(lf.Serialize(), crlf.Serialize());
}

TEST(IniDocumentRead, OnePairOfEnclosingQuotesIsRemoved) {
    IniDocument doc(
        "[Q]\r\na=\"  padded  \"\r\nb='single'\r\nc=\"\"\"twice\"\"\"\r\nd=\"open\r\ne=\"mixed'\r\nf=\"\"\r\ng=\"\r\n"
        "h=say \"hi\"\r\n");
    EXPECT_EQ(doc.Get("Q", "a"), "  padded  ");
    EXPECT_EQ(doc.Get("Q", "b"), "single");
    EXPECT_EQ(doc.Get("Q", "c"), "\"\"twice\"\"");
    EXPECT_EQ(doc.Get("Q", "d"), "\"open");
    EXPECT_EQ(doc.Get("Q", "e"), "\"mixed'");
    EXPECT_EQ(doc.Get("Q", "f"), "");
    EXPECT_EQ(doc.Get("Q", "g"), "\"");
    EXPECT_EQ(doc.Get("Q", "h"), "say \"hi\"");
}

TEST(IniDocumentRead, EmptyValueIsThereAndEmpty) {
    IniDocument doc("[MenuSound]\r\nItem0=\r\nItem1=   \r\n");
    EXPECT_EQ(doc.Get("MenuSound", "Item0"), "");
    EXPECT_EQ(doc.Get("MenuSound", "Item1"), "");
}

TEST(IniDocumentRead, DoubleByteNamesAndValuesWithBackslashAndLetterTrailBytes) {
    Bytes text = "[" + Hyo + "]\r\n" + Hyo + "=" + Hyo + "\r\n" + A + "key=upper\r\n\x83\x61key=lower\r\n";
    IniDocument doc(text);
    EXPECT_EQ(doc.Get(Hyo, Hyo), Hyo);
    EXPECT_EQ(doc.Get(Hyo, A + "KEY"), "upper");
    // The "A" trail byte is not a letter to fold: 0x83 0x61 is a different character.
    EXPECT_EQ(doc.Get(Hyo, "\x83\x61KEY"), "lower");
    EXPECT_FALSE(doc.Get(sj("表示"), Hyo).has_value());
}

TEST(IniDocumentRead, SectionNameEndingInABracketTrailByte) {
    const Bytes bracketTrail = "\x81\x5D";  // a double-byte character whose trail byte is "]"
    IniDocument doc("[a" + bracketTrail + "] ; note\r\nk=1\r\n");
    EXPECT_EQ(doc.Get("a" + bracketTrail, "k"), "1");
}

TEST(IniDocumentRead, CommentsMalformedLinesAndKeysBeforeAnySectionAreNotValues) {
    IniDocument doc("orphan=1\r\n[S]\r\n;k=comment\r\nnoequals\r\n=novalue\r\n[broken\r\nk=2\r\n");
    EXPECT_FALSE(doc.Get("", "orphan").has_value());
    EXPECT_EQ(doc.Get("S", "k"), "2");
    EXPECT_FALSE(doc.Get("S", ";k").has_value());
    EXPECT_FALSE(doc.Get("S", "noequals").has_value());
    EXPECT_FALSE(doc.Get("broken", "k").has_value());
}

TEST(IniDocumentRead, FirstOfDuplicateKeysAndSectionsWins) {
    IniDocument doc("[S]\r\nk=first\r\nk=second\r\n[T]\r\n[s]\r\nk=third\r\nonly=later\r\n");
    EXPECT_EQ(doc.Get("S", "k"), "first");
    // The second [s] is not seen, and writes go to the first.
    EXPECT_FALSE(doc.Get("S", "only").has_value());
    EXPECT_TRUE(doc.Set("s", "only", "now"));
    EXPECT_TRUE(doc.Set("S", "k", "changed"));
    EXPECT_EQ(doc.Serialize(), "[S]\r\nk=changed\r\nk=second\r\nonly=now\r\n[T]\r\n[s]\r\nk=third\r\nonly=later\r\n");
}

TEST(IniDocumentRead, ALoneCrEndsALineAndANulEndsAValue) {
    IniDocument doc(Bytes("[T]\rk=cr\r[U]\r\nk=crlf\r\nv=ab\0cd\r\nq=\"x\0y\"\r\n", 40));
    EXPECT_EQ(doc.Get("T", "k"), "cr");
    EXPECT_EQ(doc.Get("U", "k"), "crlf");
    EXPECT_EQ(doc.Get("U", "v"), "ab");
    EXPECT_EQ(doc.Get("U", "q"), "\"x");
}

TEST(IniDocumentRead, ValuesAreKeptUpTo2047BytesWithoutSplittingACharacter) {
    Bytes exact(2047, 'x');
    Bytes longer = Bytes(2046, 'y') + Hyo + "tail";
    IniDocument doc("[S]\r\na=" + exact + "\r\nb=" + longer + "\r\nc=" + exact + "z\r\n");
    EXPECT_EQ(doc.Get("S", "a"), exact);
    EXPECT_EQ(doc.Get("S", "b"), Bytes(2046, 'y'));
    EXPECT_EQ(doc.Get("S", "c"), exact);
}

TEST(IniDocumentWrite, ReplacingInPlaceLeavesEveryOtherLineAsItWas) {
    const Bytes before = "; top\r\n[S]\r\n  k =  old \r\n; mid\r\nodd line\r\nz=1\r\n";
    IniDocument doc(before);
    EXPECT_TRUE(doc.Set("s", "K", "new"));
    EXPECT_EQ(doc.Serialize(), "; top\r\n[S]\r\nk=new\r\n; mid\r\nodd line\r\nz=1\r\n");
    EXPECT_FALSE(doc.Set("S", "z", "1"));  // same value: nothing changes
    EXPECT_FALSE(doc.Set("S", "k", "new"));
}

TEST(IniDocumentWrite, NewKeyGoesAfterTheLastKeyOfItsSection) {
    IniDocument doc("[A]\r\nk0=a\r\n\r\n; about B\r\n[B]\r\nk0=b\r\n");
    doc.Set("A", "k1", "a1");
    doc.Set("b", "k1", "b1");
    EXPECT_EQ(doc.Serialize(), "[A]\r\nk0=a\r\nk1=a1\r\n\r\n; about B\r\n[B]\r\nk0=b\r\nk1=b1\r\n");
}

TEST(IniDocumentWrite, NewKeyInASectionWithoutKeysFollowsTheHeader) {
    IniDocument doc("[A]\r\n\r\n[B]\r\n");
    doc.Set("A", "k", "v");
    EXPECT_EQ(doc.Serialize(), "[A]\r\nk=v\r\n\r\n[B]\r\n");
}

TEST(IniDocumentWrite, NewSectionGoesAtTheEndSetApartByABlankLine) {
    IniDocument doc("[A]\nk=a");
    doc.Set("New", "x", "1");
    doc.Set("Newer", "y", "2");
    EXPECT_EQ(doc.Serialize(), "[A]\r\nk=a\r\n\r\n[New]\r\nx=1\r\n\r\n[Newer]\r\ny=2\r\n");
    IniDocument empty;
    empty.Set("S", "k", "v");
    EXPECT_EQ(empty.Serialize(), "[S]\r\nk=v\r\n");
}

TEST(IniDocumentWrite, EraseRemovesTheHeaderAndItsLinesOnly) {
    IniDocument doc("[A]\r\nk=a\r\n\r\n[B]\r\n; b's comment\r\nk=b\r\n\r\n[C]\r\nk=c\r\n[b]\r\nk=dup\r\n");
    EXPECT_TRUE(doc.EraseSection("B"));
    EXPECT_EQ(doc.Serialize(), "[A]\r\nk=a\r\n\r\n[C]\r\nk=c\r\n");
    EXPECT_FALSE(doc.Get("B", "k").has_value());
    EXPECT_FALSE(doc.EraseSection("B"));
}

TEST(IniDocumentWrite, EraseThenRewriteAppendsTheSectionAnewWithoutStaleKeys) {
    IniDocument doc("[ItemCount]\r\nItemNumber=3\r\n\r\n[MenuCaption]\r\nItem0=a\r\nItem1=b\r\nItem2=c\r\n");
    for (int round = 0; round < 3; ++round) {
        doc.EraseSection("MenuCaption");
        doc.Set("ItemCount", "ItemNumber", "1");
        doc.Set("MenuCaption", "Item0", "only");
    }
    EXPECT_EQ(doc.Serialize(), "[ItemCount]\r\nItemNumber=1\r\n\r\n[MenuCaption]\r\nItem0=only\r\n");
}

TEST(IniDocumentWrite, ValuesThatTheReaderWouldChangeAreQuotedAndReadBackAsGiven) {
    IniDocument doc;
    for (const Bytes& v : {Bytes(" lead"), Bytes("trail "), Bytes("\"q\""), Bytes("'s'"), Bytes("\""), Bytes("a=b"),
                           Hyo + "\\", Bytes(";x"), Bytes("[x]")}) {
        doc.Set("S", "k", v);
        EXPECT_EQ(IniDocument(doc.Serialize()).Get("S", "k"), v) << v;
    }
    doc.Set("S", "k", " x ");
    EXPECT_EQ(doc.Serialize(), "[S]\r\nk=\" x \"\r\n");
}

TEST(IniDocumentWrite, TextsThatCannotStandInTheFileAreRefused) {
    IniDocument doc("[S]\r\nk=v\r\n");
    EXPECT_THROW(doc.Set("S", "k", "two\r\n[S]\r\nk=forged"), std::invalid_argument);
    EXPECT_THROW(doc.Set("S", "k", Bytes("nul\0", 4)), std::invalid_argument);
    EXPECT_THROW(doc.Set("S", "a=b", "v"), std::invalid_argument);
    EXPECT_THROW(doc.Set("S", ";k", "v"), std::invalid_argument);
    EXPECT_THROW(doc.Set("S", " ", "v"), std::invalid_argument);
    EXPECT_THROW(doc.Set("a]b", "k", "v"), std::invalid_argument);
    EXPECT_THROW(doc.Set("", "k", "v"), std::invalid_argument);
    EXPECT_THROW(doc.Set("lone lead \x81", "k", "v"), std::invalid_argument);  // would swallow the "]"
    EXPECT_EQ(doc.Serialize(), "[S]\r\nk=v\r\n");
    EXPECT_NO_THROW(doc.Set("a" + Bytes("\x81\x5D"), "k", "v"));  // a "]" trail byte is no bracket
}

TEST(IniDocumentWrite, AShiftJisFileFromWindowsReadsAndRewritesByteForByte) {
    const Bytes windowsFile = "[ItemCount]\r\nItemNumber=2\r\n\r\n[MenuCaption]\r\nItem0=" + sj("メモ帳") +
                              "\r\nItem1=" + sj("システム情報...") + "\r\n\r\n[MenuSound]\r\nItem0=" + sj("(なし)") +
                              "\r\nItem1=C:\\" + sj("表") + "\\a.wav\r\n";
    IniDocument doc(windowsFile);
    EXPECT_EQ(doc.Get("menucaption", "item1"), sj("システム情報..."));
    EXPECT_EQ(doc.Get("MenuSound", "Item1"), "C:\\" + sj("表") + "\\a.wav");
    EXPECT_EQ(doc.Serialize(), windowsFile);
    doc.Set("MenuCaption", "Item0", sj("表計算"));
    EXPECT_EQ(IniDocument(doc.Serialize()).Get("MenuCaption", "Item0"), sj("表計算"));
}
