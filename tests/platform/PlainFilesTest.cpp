// The folder searches for plain files: the one-read Linux versions and the interface's own,
// built on ListDirectory and DeleteEntry, must keep the same rules.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "PlatformTestSupport.h"
#include "platform/linux/LinuxFiles.h"
#include "text/Codec.h"

namespace veska {
namespace {

using test::Exists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

// The same files, searched through the interface's versions.
class ListingFiles : public LinuxFiles {
public:
    bool HoldsPlainFile(const Bytes& folder) override { return IFiles::HoldsPlainFile(folder); }
    void DeletePlainFiles(const Bytes& folder) override { IFiles::DeletePlainFiles(folder); }
};

class PlainFiles : public ::testing::TestWithParam<bool> {
protected:
    PlainFiles() : files(GetParam() ? static_cast<IFiles*>(&oneRead) : &listing) {}

    // A folder holding one of everything the search must pass over.
    void MakeSkippedEntries() {
        fs::create_directories(folder + "/sub");
        WriteFile(folder + "/sub/inner.tmp", "i");
        WriteFile(folder + "/.hidden", "h");
        ASSERT_EQ(::mkfifo((folder + "/fifo").c_str(), 0644), 0);
        ASSERT_EQ(::symlink((dir / "gone").c_str(), (folder + "/dangling.tmp").c_str()), 0);
        ASSERT_EQ(::symlink((folder + "/sub").c_str(), (folder + "/dirlink").c_str()), 0);
        WriteFile(dir / "target.txt", "keep");
        ASSERT_EQ(::symlink((dir / "target.txt").c_str(), (folder + "/.hiddenlink").c_str()), 0);
    }
    std::set<std::string> Left() const {
        std::set<std::string> out;
        for (auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename().string());
        return out;
    }
    static const std::set<std::string>& Skipped() {
        static const std::set<std::string> names{"sub", ".hidden", "fifo", "dangling.tmp", "dirlink", ".hiddenlink"};
        return names;
    }

    TempDir dir;
    std::string folder = dir / "temp";
    LinuxFiles oneRead;
    ListingFiles listing;
    IFiles* files;
};

TEST_P(PlainFiles, MissingEmptyOrOnlySkippedEntriesHoldNoFile) {
    EXPECT_FALSE(files->HoldsPlainFile(folder));
    EXPECT_FALSE(files->HoldsPlainFile(""));
    fs::create_directories(folder);
    EXPECT_FALSE(files->HoldsPlainFile(folder));
    MakeSkippedEntries();
    EXPECT_FALSE(files->HoldsPlainFile(folder));
    // A file named in the folder's place is no folder.
    WriteFile(dir / "plain.txt", "x");
    EXPECT_FALSE(files->HoldsPlainFile(dir / "plain.txt"));
}

TEST_P(PlainFiles, ReadOnlyFilesAndLinksToFilesCount) {
    fs::create_directories(folder);
    MakeSkippedEntries();
    WriteFile(folder + "/readonly.tmp", "r", 0444);
    EXPECT_TRUE(files->HoldsPlainFile(folder));
    EXPECT_TRUE(files->HoldsPlainFile(folder + "/"));
    ::unlink((folder + "/readonly.tmp").c_str());
    ASSERT_EQ(::symlink((dir / "target.txt").c_str(), (folder + "/link.tmp").c_str()), 0);
    EXPECT_TRUE(files->HoldsPlainFile(folder));
    // A folder reached through a link is searched like any other.
    ASSERT_EQ(::symlink(folder.c_str(), (dir / "via").c_str()), 0);
    EXPECT_TRUE(files->HoldsPlainFile(dir / "via"));
}

TEST_P(PlainFiles, FolderWithADoubleByteNameIsFound) {
    const std::string japanese = dir / toUtf8(sj("一時フォルダ"));
    fs::create_directories(japanese);
    WriteFile(japanese + "/" + toUtf8(sj("ファイル.tmp")), "x");
    const Bytes cp932 = *fromUtf8(japanese);
    EXPECT_TRUE(files->HoldsPlainFile(cp932));
    files->DeletePlainFiles(cp932);
    EXPECT_TRUE(fs::is_empty(japanese));
    EXPECT_FALSE(files->HoldsPlainFile(cp932));
}

TEST_P(PlainFiles, DeletesPlainFilesAndLinksButNeverTargetsReadOnlyFilesOrSkippedEntries) {
    fs::create_directories(folder);
    MakeSkippedEntries();
    WriteFile(folder + "/a.tmp", "a");
    WriteFile(folder + "/b.tmp", "b");
    WriteFile(folder + "/readonly.tmp", "r", 0444);
    WriteFile(dir / "locked.txt", "locked", 0444);
    ASSERT_EQ(::symlink((dir / "target.txt").c_str(), (folder + "/link.tmp").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "locked.txt").c_str(), (folder + "/lockedlink.tmp").c_str()), 0);
    // A name that has no CP932 form is deleted all the same.
    WriteFile(folder + "/\xF0\x9F\x98\x80.tmp", "e");

    files->DeletePlainFiles(folder);

    std::set<std::string> expected = Skipped();
    expected.insert("readonly.tmp");
    EXPECT_EQ(Left(), expected);
    EXPECT_EQ(ReadFile(dir / "target.txt"), "keep");
    EXPECT_EQ(ReadFile(dir / "locked.txt"), "locked");
    EXPECT_TRUE(Exists(folder + "/sub/inner.tmp"));
    EXPECT_TRUE(files->HoldsPlainFile(folder));  // the read-only file is still there to find
    ::chmod((folder + "/readonly.tmp").c_str(), 0644);
    files->DeletePlainFiles(folder);
    EXPECT_EQ(Left(), Skipped());
}

TEST_P(PlainFiles, DeletingInAMissingFolderOrAFileDoesNothing) {
    WriteFile(dir / "plain.txt", "x");
    files->DeletePlainFiles(folder);
    files->DeletePlainFiles(dir / "plain.txt");
    files->DeletePlainFiles("");
    EXPECT_EQ(ReadFile(dir / "plain.txt"), "x");
}

TEST_P(PlainFiles, ManyFilesAreAllDeleted) {
    fs::create_directories(folder);
    for (int i = 0; i < 3000; ++i) WriteFile(folder + "/f" + std::to_string(i) + ".tmp", "x");
    WriteFile(folder + "/.keep", "k");
    EXPECT_TRUE(files->HoldsPlainFile(folder));
    files->DeletePlainFiles(folder);
    EXPECT_EQ(Left(), std::set<std::string>{".keep"});
}

INSTANTIATE_TEST_SUITE_P(Searches, PlainFiles, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "OneRead" : "Listing";
                         });

}  // namespace
}  // namespace veska
