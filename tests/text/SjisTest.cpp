#include <gtest/gtest.h>

#include "vcl/ErrorBox.h"
#include "text/Codec.h"
#include "text/Sjis.h"

using namespace veska;

TEST(Sjis, CutNeverSplitsADoubleByteCharacter) {
    Bytes s = "ab" + sj("表示");  // 表 is 0x95 0x5C: its trail byte looks like a backslash
    EXPECT_EQ(cutBytes(s, 3), "ab");
    EXPECT_EQ(cutBytes(s, 4), "ab" + sj("表"));
    EXPECT_EQ(cutBytes(s, 100), s);
}

TEST(Sjis, AsciiCaseFoldingLeavesTrailBytesAlone) {
    // ア is 0x83 0x41: folding must not touch the 0x41 ("A") trail byte, nor lower one to it.
    Bytes upper = sj("ア") + "KEY";
    Bytes mixed = sj("ア") + "key";
    EXPECT_TRUE(sameTextIgnoringAsciiCase(upper, mixed));
    Bytes trailLower = "\x83\x61";  // a made-up pair whose trail byte is "a"
    EXPECT_EQ(asciiUpper(trailLower), trailLower);
    EXPECT_FALSE(sameTextIgnoringAsciiCase("\x83\x41", "\x83\x61"));
}

TEST(Sjis, CodecRoundTripsAndRefusesWhatCp932CannotHold) {
    Bytes s = sj("壁紙の変更");
    EXPECT_EQ(s.size(), 10u);
    EXPECT_EQ(toUtf8(s), "壁紙の変更");
    EXPECT_FALSE(fromUtf8("emoji \xF0\x9F\x98\x80").has_value());
    EXPECT_FALSE(fromUtf8("ツール〜").has_value());  // would come back as "ツール～"
    EXPECT_EQ(toUtf8(*fromUtf8("ツール～")), "ツール～");
    EXPECT_EQ(toUtf8("a\x81"), "a\xEF\xBF\xBD");  // a lone lead byte at the end is replaced, not read past
}

TEST(ErrorBox, FullStopFollowsTheByteRule) {
    EXPECT_EQ(WithFullStop("Faild to call User.exe"), "Faild to call User.exe.");
    EXPECT_EQ(WithFullStop(sj("起動できません。")), sj("起動できません。") + ".");
    EXPECT_EQ(WithFullStop("ends with dot."), "ends with dot.");
    EXPECT_EQ(WithFullStop("ends with bang!"), "ends with bang!");  // "!" sorts before "."
    EXPECT_EQ(WithFullStop(""), "");
}
