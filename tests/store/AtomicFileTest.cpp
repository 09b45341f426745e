// The real files that both stores are written through.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/linux/LinuxFiles.h"
#include "platform/scripted/ScriptedPlatform.h"
#include "store/StoreFiles.h"

using namespace veska;
using namespace veska::testing;
namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    ScriptedPlatform sp;
    LinuxFiles files;
    std::string dir = sp.root() + "/data";
    std::string path = dir + "/VESKA.INI";
    void SetUp() override { fs::create_directory(dir); }
    std::size_t entries(const std::string& folder) const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
};

const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;

}  // namespace

TEST_F(AtomicFileTest, WritesANewFileAndReplacesAnOldOneKeepingItsMode) {
    ASSERT_TRUE(files.WriteFileAtomic(path, "first"));
    EXPECT_EQ(slurp(path), "first");
    chmodTo(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(files.WriteFileAtomic(path, "second, longer"));
    EXPECT_EQ(files.ReadFile(path), "second, longer");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(files.WriteFileAtomic(path, ""));
    EXPECT_EQ(files.ReadFile(path), "");
    EXPECT_EQ(entries(dir), 1u);
}

TEST_F(AtomicFileTest, RefusesAReadOnlyFileAlthoughARenameOverItWouldSucceed) {
    spit(path, "old");
    chmodTo(path, readOnly);
    EXPECT_FALSE(files.WriteFileAtomic(path, "new"));
    EXPECT_EQ(slurp(path), "old");
    EXPECT_EQ(entries(dir), 1u);
}

TEST_F(AtomicFileTest, RefusesAMissingOrUnwritableFolderLeavingNoTemporaryFile) {
    EXPECT_FALSE(files.WriteFileAtomic(dir + "/missing/VESKA.INI", "x"));
    spit(path, "old");
    chmodTo(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(files.WriteFileAtomic(path, "new"));
    chmodTo(dir, fs::perms::owner_all);
    EXPECT_EQ(slurp(path), "old");
    EXPECT_EQ(entries(dir), 1u);
}

TEST_F(AtomicFileTest, RefusesSomethingThatIsNoRegularFile) {
    fs::create_directory(path);
    EXPECT_FALSE(files.WriteFileAtomic(path, "x"));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_FALSE(files.ReadFile(path).has_value());
}

TEST_F(AtomicFileTest, ALinkIsWrittenThroughAndStaysALink) {
    const std::string real = dir + "/real.ini";
    spit(real, "old");
    fs::create_symlink(real, path);
    ASSERT_TRUE(files.WriteFileAtomic(path, "new"));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(slurp(real), "new");
}

TEST_F(AtomicFileTest, ReadingAFifoInTheFilesPlaceDoesNotHang) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    EXPECT_FALSE(files.ReadFile(path).has_value());
    EXPECT_FALSE(files.WriteFileAtomic(path, "x"));
}

TEST_F(AtomicFileTest, AStaleTemporaryFileIsNeitherReadNorInTheWay) {
    spit(path, "real");
    spit(path + ".tmp-zzzzzz", "torn");
    EXPECT_EQ(files.ReadFile(path), "real");
    ASSERT_TRUE(files.WriteFileAtomic(path, "next"));
    EXPECT_EQ(files.ReadFile(path), "next");
    EXPECT_EQ(slurp(path + ".tmp-zzzzzz"), "torn");
}

TEST_F(AtomicFileTest, ANameNearTheSystemLimitStillGetsATemporaryFile) {
    const std::string longName = dir + "/" + std::string(250, 'n') + ".INI";  // 254 bytes of name
    ASSERT_TRUE(files.WriteFileAtomic(longName, "x"));
    EXPECT_EQ(slurp(longName), "x");
    EXPECT_EQ(entries(dir), 1u);
}

TEST_F(AtomicFileTest, RootRewritingSomeoneElsesFileKeepsTheOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the file away";
    spit(path, "old");
    ASSERT_EQ(::chown(path.c_str(), 4321, 4321), 0);
    chmodTo(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    ASSERT_TRUE(files.WriteFileAtomic(path, "new"));  // a write bit is set: not read-only
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4321u);
    EXPECT_EQ(slurp(path), "new");
}

TEST_F(AtomicFileTest, CreateDirectoriesMakesParentsButNotInsideAnUnwritableFolder) {
    EXPECT_TRUE(files.CreateDirectories(dir + "/a/b/c"));
    EXPECT_TRUE(fs::is_directory(dir + "/a/b/c"));
    EXPECT_TRUE(files.CreateDirectories(dir + "/a/b/c"));
    chmodTo(dir + "/a", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(files.CreateDirectories(dir + "/a/x/y"));
    EXPECT_FALSE(fs::exists(dir + "/a/x"));
    EXPECT_TRUE(files.CreateDirectories(dir + "/a/b"));  // already there: fine
    spit(dir + "/file", "");
    EXPECT_FALSE(files.CreateDirectories(dir + "/file/sub"));
}
