#include "MainFixture.h"

namespace veska::test {
namespace {

class WallpaperTest : public MainFixture {
protected:
    void WriteWalls(int count, bool change, bool means, const std::string& order = "") {
        std::string cfg = "[ItemCount]\nItemNumber=1\nWallNumber=" + std::to_string(count) +
                          "\n[MenuCaption]\nItem0=W\n[MenuName]\nItem0=P1\n[MenuPath]\nItem0=PersonalApplication\n"
                          "[WallCaption]\n[WallPath]\n[WallStyle]\n";
        for (int j = 0; j < count; ++j) {
            auto at = [&](const std::string& sec, const std::string& line) {
                cfg.insert(cfg.find(sec) + sec.size() + 1, line + "\n");
            };
            at("[WallCaption]", "Item" + std::to_string(j) + "=Wall" + std::to_string(j));
            at("[WallPath]", "Item" + std::to_string(j) + "=/w/" + std::to_string(j) + ".bmp");
            at("[WallStyle]", "Item" + std::to_string(j) + "=" + (j == 1 ? "0" : "1"));
        }
        WriteConfig(cfg);
        WriteCurrentSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\n\"Change\"=\"" +
                             std::string(change ? "1" : "0") + "\"\n\"Means\"=\"" + (means ? "1" : "0") + "\"\n" +
                             (order.empty() ? "" : "\"Order\"=\"" + order + "\"\n"));
    }
    TMenuItem* Sub() { return Launch(0); }
};

TEST_F(WallpaperTest, InOrderStartsRunThroughTheListAndWrapToItsStart) {
    WriteWalls(3, true, true, "2");
    std::vector<Bytes> orders, paths;
    for (int start = 0; start < 4; ++start) {
        main.reset();
        Build();
        orders.push_back(Setting(names::Wall_paper, names::Order));
        paths.push_back(sp.wallpaper.sets.back().path);
    }
    EXPECT_EQ(orders, (std::vector<Bytes>{"3", "4", "2", "3"}));
    EXPECT_EQ(paths, (std::vector<Bytes>{"/w/1.bmp", "/w/2.bmp", "/w/0.bmp", "/w/1.bmp"}));
    EXPECT_TRUE(Sub()->Items(3)->Checked());
    EXPECT_TRUE(Sub()->Items(0)->Checked());  // the toggle shows "Change"
    EXPECT_TRUE(sp.wallpaper.sets.back().tiled);  // Item1 is stored tiled ("WallStyle" 0)
    EXPECT_EQ(Tile(), "1");
}

TEST_F(WallpaperTest, OutOfRangeOrdersRestartAtTheFirstWallpaper) {
    for (const char* order : {"9", "0", "-5", "2147483647"}) {
        main.reset();
        WriteWalls(3, true, true, order);
        Build();
        EXPECT_EQ(Setting(names::Wall_paper, names::Order), "2") << order;
        EXPECT_EQ(sp.wallpaper.sets.back().path, "/w/0.bmp") << order;
    }
    main.reset();
    WriteWalls(1, true, true, "2");
    Build();
    EXPECT_EQ(Setting(names::Wall_paper, names::Order), "2");
}

TEST_F(WallpaperTest, EmptyListSetsThePlaceholdersEmptyPathTiled) {
    WriteWalls(0, true, true);
    Build();
    ASSERT_EQ(sp.wallpaper.sets.size(), 1u);
    EXPECT_EQ(sp.wallpaper.sets[0].path, "");
    EXPECT_TRUE(sp.wallpaper.sets[0].tiled);
    EXPECT_EQ(Tile(), "1");
    EXPECT_TRUE(Sub()->Items(2)->Checked());
    EXPECT_EQ(Setting(names::Wall_paper, names::Order), "2");
}

TEST_F(WallpaperTest, RandomChoiceStaysInTheListAndLeavesOrderAlone) {
    WriteWalls(1, true, false, "7");
    Build();
    EXPECT_EQ(sp.wallpaper.sets.back().path, "/w/0.bmp");
    WriteWalls(3, true, false, "7");
    std::set<Bytes> seen;
    for (int i = 0; i < 40; ++i) {
        Build();
        seen.insert(sp.wallpaper.sets.back().path);
    }
    EXPECT_EQ(seen, (std::set<Bytes>{"/w/0.bmp", "/w/1.bmp", "/w/2.bmp"}));
    EXPECT_EQ(Setting(names::Wall_paper, names::Order), "7");
}

// Records, at each setting of the wallpaper, what the stores held at that moment.
class StoreWatchingWallpaper : public IWallpaper {
public:
    explicit StoreWatchingWallpaper(MainFixture* f) : f_(f) {}
    bool SetDeskWallpaper(const Bytes& path, bool) override {
        seen.push_back({path, tile(), order()});
        return true;
    }
    struct Seen {
        Bytes path, tile, order;
    };
    std::vector<Seen> seen;
    std::function<Bytes()> tile, order;

private:
    MainFixture* f_;
};

TEST_F(WallpaperTest, TileAndOrderAreStoredBeforeTheWallpaperIsSet) {
    WriteWalls(3, true, true, "2");
    StoreWatchingWallpaper watcher(this);
    watcher.tile = [this] { return Tile(); };
    watcher.order = [this] { return Setting(names::Wall_paper, names::Order); };
    sp.platform().wallpaper = &watcher;
    Build();
    Sub()->Items(2)->Click();
    ASSERT_EQ(watcher.seen.size(), 2u);
    EXPECT_EQ(watcher.seen[0].path, "/w/1.bmp");
    EXPECT_EQ(watcher.seen[0].tile, "1");   // the second wallpaper is tiled
    EXPECT_EQ(watcher.seen[0].order, "3");  // stored before it was applied
    EXPECT_EQ(watcher.seen[1].path, "/w/0.bmp");
    EXPECT_EQ(watcher.seen[1].tile, "0");
}

TEST_F(WallpaperTest, ChoosingAWallpaperWritesTileAndChecksOnlyIt) {
    WriteWalls(3, false, true);
    Build();
    Sub()->Items(2)->Click();
    EXPECT_EQ(Tile(), "0");  // centred
    Sub()->Items(3)->Click();
    EXPECT_EQ(Tile(), "1");  // tiled
    EXPECT_EQ(sp.wallpaper.sets.back().path, "/w/1.bmp");
    EXPECT_FALSE(Sub()->Items(2)->Checked());
    EXPECT_TRUE(Sub()->Items(3)->Checked());
    EXPECT_FALSE(Sub()->Items(0)->Checked());
}

TEST_F(WallpaperTest, AChangeNoDesktopTookIsCheckedAndStoredAllTheSameWithoutAMessage) {
    WriteWalls(1, false, true);
    sp.wallpaper.takes = false;
    Build();
    Sub()->Items(2)->Click();
    EXPECT_TRUE(Sub()->Items(2)->Checked());
    EXPECT_EQ(Tile(), "0");  // the first wallpaper is centred
    EXPECT_TRUE(sp.desktop.boxes.empty());
}

TEST_F(WallpaperTest, ToggleFlipsChangeWithoutTouchingTheWallpaper) {
    WriteWalls(2, false, true, "3");
    Build();
    Sub()->Items(0)->Click();
    EXPECT_TRUE(Sub()->Items(0)->Checked());
    EXPECT_EQ(Setting(names::Wall_paper, names::Change), "1");
    Sub()->Items(0)->Click();
    EXPECT_EQ(Setting(names::Wall_paper, names::Change), "0");
    EXPECT_TRUE(sp.wallpaper.sets.empty());
    EXPECT_EQ(Setting(names::Wall_paper, names::Order), "3");
}

}  // namespace
}  // namespace veska::test
