#include <gtest/gtest.h>

#include "store/IntegerText.h"

using namespace veska;

TEST(IntegerText, DecimalWithBlanksAndSign) {
    EXPECT_EQ(StrToIntDef("42", -1), 42);
    EXPECT_EQ(StrToIntDef("  42", -1), 42);
    EXPECT_EQ(StrToIntDef("\t-7", -1), -7);
    EXPECT_EQ(StrToIntDef("+13", -1), 13);
    EXPECT_EQ(StrToIntDef("0007", -1), 7);
    EXPECT_EQ(StrToIntDef("42 ", -1), -1);  // a trailing blank makes it no number
}

TEST(IntegerText, DollarHexadecimal) {
    EXPECT_EQ(StrToIntDef("$1F", -1), 31);
    EXPECT_EQ(StrToIntDef("$ff", -1), 255);
    EXPECT_EQ(StrToIntDef(" -$10", 0), -16);
    EXPECT_EQ(StrToIntDef("$FFFFFFFF", 0), -1);  // 32 bits wrap
    EXPECT_EQ(StrToIntDef("$000000010", 0), 16);  // leading zeros do not count against the width
}

TEST(IntegerText, GarbageAndOverflowGiveTheDefault) {
    for (const char* bad : {"", " ", "+", "-", "$", "12a", "a12", "1 2", "--1", "$-1", "1.5", "$G", "0x1F",
                            "2147483648", "-2147483649", "$100000000", "99999999999999999999999"})
        EXPECT_EQ(StrToIntDef(bad, 99), 99) << '"' << bad << '"';
    EXPECT_EQ(StrToIntDef("2147483647", 0), 2147483647);
    EXPECT_EQ(StrToIntDef("-2147483648", 0), -2147483647 - 1);
}

TEST(IntegerText, ZeroXOnlyForTheConfigurationFileAndOnlyAtTheVeryStart) {
    EXPECT_EQ(IniStrToIntDef("0x1F", 5), 31);
    EXPECT_EQ(IniStrToIntDef("0X10", 5), 16);
    EXPECT_EQ(IniStrToIntDef("0x", 5), 5);     // two characters: not hexadecimal, and not a number
    EXPECT_EQ(IniStrToIntDef(" 0x1F", 5), 5);  // only at the very start
    EXPECT_EQ(IniStrToIntDef("-0x1F", 5), 5);
    EXPECT_EQ(IniStrToIntDef("0x-1", 5), 5);
    EXPECT_EQ(IniStrToIntDef("$1F", 5), 31);
    EXPECT_EQ(IniStrToIntDef("300", 5), 300);
    EXPECT_EQ(StrToIntDef("0x1F", 5), 5);
}

TEST(IntegerText, WrittenAsPlainDecimal) {
    EXPECT_EQ(IntToStr(0), "0");
    EXPECT_EQ(IntToStr(-12), "-12");
    EXPECT_EQ(IntToStr(254), "254");
}
