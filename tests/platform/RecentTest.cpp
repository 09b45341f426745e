#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "PlatformTestSupport.h"
#include "platform/linux/LinuxRecent.h"

namespace veska {
namespace {

using test::EnvGuard;
using test::Exists;
using test::TempDir;
using test::WriteFile;

const char* kTwoBookmarks =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n>\n"
    "  <bookmark href=\"file:///home/u/a.txt\" added=\"2024-01-01T00:00:00Z\">\n"
    "    <info><metadata owner=\"http://freedesktop.org\"><mime:mime-type type=\"text/plain\"/>\n"
    "      <bookmark:applications><bookmark:application name=\"ed\" exec=\"ed %u\"/></bookmark:applications>\n"
    "    </metadata></info>\n  </bookmark>\n"
    "  <bookmark\n href=\"file:///home/u/b.txt\"/>\n"
    "</xbel>\n";

TEST(Xbel, FindsBookmarksButNotTheirNamespacedChildren) {
    EXPECT_TRUE(XbelHasBookmark(kTwoBookmarks));
    EXPECT_TRUE(XbelHasBookmark("<xbel><bookmark\thref=\"x\"/></xbel>"));
    EXPECT_TRUE(XbelHasBookmark("<xbel><bookmark>x</bookmark></xbel>"));
    EXPECT_FALSE(XbelHasBookmark(kEmptyXbel));
    EXPECT_FALSE(XbelHasBookmark("<xbel><bookmark:applications/></xbel>"));
    EXPECT_FALSE(XbelHasBookmark("<xbel><bookmarks/></xbel>"));
    EXPECT_FALSE(XbelHasBookmark(""));
}

TEST(Xbel, IgnoresBookmarksInCommentsAndCdata) {
    EXPECT_FALSE(XbelHasBookmark("<xbel><!-- <bookmark href=\"x\"/> --></xbel>"));
    EXPECT_FALSE(XbelHasBookmark("<xbel><title><![CDATA[<bookmark href=\"x\"/>]]></title></xbel>"));
    EXPECT_TRUE(XbelHasBookmark("<xbel><!-- old --><bookmark href=\"x\"/></xbel>"));
    EXPECT_FALSE(XbelHasBookmark("<xbel><!-- unterminated <bookmark href=\"x\"/>"));
}

class RecentTest : public ::testing::Test {
protected:
    RecentTest() { ::mkdir(folder.c_str(), 0755); }
    TempDir dir;
    EnvGuard data{"XDG_DATA_HOME", dir.path()};
    const std::string folder = dir / "RecentDocuments";
    const std::string xbel = dir / "recently-used.xbel";
    LinuxRecent recent;
};

TEST_F(RecentTest, NothingWhenBothAreMissingOrEmpty) {
    EXPECT_FALSE(recent.AnyRecent());
    WriteFile(xbel, kEmptyXbel);
    EXPECT_FALSE(recent.AnyRecent());
    ::rmdir(folder.c_str());
    EXPECT_FALSE(recent.AnyRecent());
    recent.ClearRecent();  // nothing to do, nothing created
    EXPECT_FALSE(Exists(folder));
}

TEST_F(RecentTest, AHiddenEntryCountsAndIsCleared) {
    WriteFile(folder + "/.hidden.desktop", "[Desktop Entry]\n");
    EXPECT_TRUE(recent.AnyRecent());
    recent.ClearRecent();
    EXPECT_FALSE(Exists(folder + "/.hidden.desktop"));
    EXPECT_FALSE(recent.AnyRecent());
}

TEST_F(RecentTest, ClearingDeletesShortcutFilesAndLinksButLeavesOtherEntriesAndLinkTargets) {
    WriteFile(folder + "/a.desktop", "x");
    WriteFile(folder + "/B.DESKTOP", "x");
    WriteFile(folder + "/notes.txt", "x");
    WriteFile(dir / "target.txt", "keep");
    ASSERT_EQ(::symlink((dir / "target.txt").c_str(), (folder + "/link.desktop").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "gone").c_str(), (folder + "/dangling.desktop").c_str()), 0);
    ASSERT_EQ(::mkdir((folder + "/sub").c_str(), 0755), 0);
    WriteFile(folder + "/sub/inner.desktop", "x");
    ASSERT_EQ(::symlink((folder + "/sub").c_str(), (folder + "/dirlink").c_str()), 0);

    recent.ClearRecent();
    EXPECT_FALSE(Exists(folder + "/a.desktop"));
    EXPECT_FALSE(Exists(folder + "/B.DESKTOP"));
    EXPECT_TRUE(Exists(folder + "/notes.txt"));  // not a shortcut: it stays
    EXPECT_FALSE(Exists(folder + "/link.desktop"));
    EXPECT_FALSE(Exists(folder + "/dangling.desktop"));
    EXPECT_TRUE(Exists(folder + "/dirlink"));
    EXPECT_EQ(test::ReadFile(dir / "target.txt"), "keep");
    EXPECT_TRUE(Exists(folder + "/sub/inner.desktop"));
    EXPECT_FALSE(recent.AnyRecent());  // what is left is no shortcut

    WriteFile(folder + "/other.txt", "x");
    EXPECT_FALSE(recent.AnyRecent());
    ASSERT_EQ(::mkdir((folder + "/folder.desktop").c_str(), 0755), 0);
    EXPECT_TRUE(recent.AnyRecent());  // found, as the search finds folders too, though it cannot go
}

TEST_F(RecentTest, AReadOnlyEntryStaysAndTheOthersGoOn) {
    WriteFile(folder + "/1.desktop", "x");
    WriteFile(folder + "/2.desktop", "x", 0444);
    WriteFile(folder + "/3.desktop", "x");
    recent.ClearRecent();
    EXPECT_FALSE(Exists(folder + "/1.desktop"));
    EXPECT_TRUE(Exists(folder + "/2.desktop"));
    EXPECT_FALSE(Exists(folder + "/3.desktop"));
}

TEST_F(RecentTest, TheBookmarkFileIsEmptiedInPlaceKeepingItsMode) {
    WriteFile(xbel, kTwoBookmarks, 0600);
    EXPECT_TRUE(recent.AnyRecent());
    recent.ClearRecent();
    EXPECT_EQ(test::ReadFile(xbel), std::string(kEmptyXbel));
    struct stat st {};
    ASSERT_EQ(::stat(xbel.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(recent.AnyRecent());
    // No temporary file is left beside it.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) entries += e.is_regular_file();
    EXPECT_EQ(entries, 1);
}

TEST_F(RecentTest, ALinkedBookmarkFileIsEmptiedWhereItLives) {
    ASSERT_EQ(::mkdir((dir / "real").c_str(), 0755), 0);
    WriteFile(dir / "real/recent.xbel", kTwoBookmarks);
    ASSERT_EQ(::symlink((dir / "real/recent.xbel").c_str(), xbel.c_str()), 0);
    recent.ClearRecent();
    struct stat st {};
    ASSERT_EQ(::lstat(xbel.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(test::ReadFile(dir / "real/recent.xbel"), std::string(kEmptyXbel));
}

TEST_F(RecentTest, TheDataHomeDefaultsToLocalShare) {
    EnvGuard noData("XDG_DATA_HOME", std::nullopt);
    EnvGuard home("HOME", dir.path());
    ASSERT_EQ(::mkdir((dir / ".local").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir / ".local/share").c_str(), 0755), 0);
    WriteFile(dir / ".local/share/recently-used.xbel", kTwoBookmarks);
    EXPECT_TRUE(recent.AnyRecent());
    recent.ClearRecent();
    EXPECT_FALSE(recent.AnyRecent());
}

}  // namespace
}  // namespace veska
