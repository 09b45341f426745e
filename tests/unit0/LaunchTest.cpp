#include "MainFixture.h"

namespace veska::test {
namespace {

using LaunchTest = MainFixture;

TEST_F(LaunchTest, SoundFirstThenTheExactPathOrTheTool) {
    const std::string odd = "/opt/my apps/\"q\" $(touch x); -rm.sh";
    std::string longPath = "/" + std::string(300, 'p');
    WriteConfig("[ItemCount]\nItemNumber=4\n[MenuCaption]\nItem0=A\nItem1=B\nItem2=C\nItem3=D\n"
                "[MenuName]\nItem0=Null\nItem1=Null\nItem2=P2\nItem3=P9\n"
                "[MenuPath]\nItem0=" + odd + "\nItem1=" + longPath + "\nItem2=PersonalApplication\nItem3=PersonalApplication\n"
                "[MenuSound]\nItem0=/s/a.wav\nItem1=(なし)\nItem2=\nItem3=(なし)\n");
    Build();
    sp.recent.any = true;
    Launch(0)->Click();
    Launch(1)->Click();
    Launch(2)->Click();
    Launch(3)->Click();
    ASSERT_EQ(sp.shell.opened.size(), 2u);
    EXPECT_EQ(sp.shell.opened[0], "/opt/my apps/\"q\" $(touch x); -rm.sh");
    EXPECT_EQ(sp.shell.opened[1], longPath.substr(0, 255));
    EXPECT_EQ(sp.sound.played, (std::vector<Bytes>{"/s/a.wav", ""}));  // "(なし)" plays nothing, "" is handed on
    EXPECT_EQ(sp.recent.clears, 1);
    EXPECT_TRUE(sp.desktop.boxes.empty());
}

TEST_F(LaunchTest, NonDigitNameRaisesTheConversionErrorAfterTheSound) {
    WriteConfig("[ItemCount]\nItemNumber=1\n[MenuCaption]\nItem0=A\n[MenuName]\nItem0=Px\n"
                "[MenuPath]\nItem0=PersonalApplication\n[MenuSound]\nItem0=/s/x.wav\n");
    Build();
    Guarded(sp.desktop, [&] { Launch(0)->Click(); });
    EXPECT_EQ(sp.sound.played, std::vector<Bytes>{"/s/x.wav"});
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_EQ(ErrorTexts()[0], sj("'x' は数値ではありません") + ".");
}

TEST_F(LaunchTest, OpeningTheWallpaperSubmenuPlaysItsSoundOnly) {
    WriteConfig("[ItemCount]\nItemNumber=1\n[MenuCaption]\nItem0=W\n[MenuName]\nItem0=P1\n"
                "[MenuPath]\nItem0=PersonalApplication\n[MenuSound]\nItem0=/s/w.wav\n");
    Build();
    Launch(0)->Click();
    Launch(0)->Click();
    EXPECT_EQ(sp.sound.played.size(), 2u);
    EXPECT_TRUE(sp.shell.opened.empty());
    EXPECT_TRUE(sp.wallpaper.sets.empty());
}

}  // namespace
}  // namespace veska::test
