// The folder searches for plain files: the one-read Linux versions and the interface's own,
// built on ListDirectory and DeleteEntry, must keep the same rules. The Linux deletion also
// leaves the files that running processes use.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <utility>

#include "PlatformTestSupport.h"
#include "platform/linux/FilesInUse.h"
#include "platform/linux/LinuxFiles.h"
#include "text/Codec.h"

extern char** environ;

namespace veska {
namespace {

using test::Exists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> out;
    for (auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename().string());
    return out;
}

// The same files, searched through the interface's versions.
class ListingFiles : public LinuxFiles {
public:
    bool HoldsPlainFile(const Bytes& folder) override { return IFiles::HoldsPlainFile(folder); }
    void DeletePlainFiles(const std::vector<Bytes>& folders) override { IFiles::DeletePlainFiles(folders); }
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
    std::set<std::string> Left() const { return Names(folder); }
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
    files->DeletePlainFiles({cp932});
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

    files->DeletePlainFiles({folder});

    std::set<std::string> expected = Skipped();
    expected.insert("readonly.tmp");
    EXPECT_EQ(Left(), expected);
    EXPECT_EQ(ReadFile(dir / "target.txt"), "keep");
    EXPECT_EQ(ReadFile(dir / "locked.txt"), "locked");
    EXPECT_TRUE(Exists(folder + "/sub/inner.tmp"));
    EXPECT_TRUE(files->HoldsPlainFile(folder));  // the read-only file is still there to find
    ::chmod((folder + "/readonly.tmp").c_str(), 0644);
    files->DeletePlainFiles({folder});
    EXPECT_EQ(Left(), Skipped());
}

TEST_P(PlainFiles, AMissingFolderOrAFileInTheListIsPassedOver) {
    WriteFile(dir / "plain.txt", "x");
    fs::create_directories(dir / "last");
    WriteFile(dir / "last/junk.tmp", "j");
    files->DeletePlainFiles({});
    files->DeletePlainFiles({folder, dir / "plain.txt", "", dir / "last"});
    EXPECT_EQ(ReadFile(dir / "plain.txt"), "x");
    EXPECT_TRUE(fs::is_empty(dir / "last"));
}

TEST_P(PlainFiles, ManyFilesAreAllDeleted) {
    fs::create_directories(folder);
    for (int i = 0; i < 3000; ++i) WriteFile(folder + "/f" + std::to_string(i) + ".tmp", "x");
    WriteFile(folder + "/.keep", "k");
    EXPECT_TRUE(files->HoldsPlainFile(folder));
    files->DeletePlainFiles({folder});
    EXPECT_EQ(Left(), std::set<std::string>{".keep"});
}

// A process that holds a file until the end of the test.
class Holder {
public:
    // `sleep` with the file open as its standard input.
    static Holder Open(const std::string& path) {
        Holder h;
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, 0, path.c_str(), O_RDONLY, 0);
        char arg0[] = "sleep", arg1[] = "60";
        char* argv[] = {arg0, arg1, nullptr};
        if (::posix_spawn(&h.pid, "/bin/sleep", &actions, nullptr, argv, environ) != 0) h.pid = -1;
        ::posix_spawn_file_actions_destroy(&actions);
        return h;
    }
    // A child that maps the file and closes it, so that only the mapping holds it.
    static Holder Mapped(const std::string& path) {
        Holder h;
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) return h;
        const char* name = path.c_str();
        h.pid = ::fork();
        if (h.pid == 0) {
            int fd = ::open(name, O_RDONLY);
            char mapped = fd >= 0 && ::mmap(nullptr, 1, PROT_READ, MAP_SHARED, fd, 0) != MAP_FAILED;
            ::close(fd);
            (void)!::write(ready[1], &mapped, 1);
            for (;;) ::pause();
        }
        ::close(ready[1]);
        char mapped = 0;
        if (h.pid > 0 && ::read(ready[0], &mapped, 1) != 1) mapped = 0;
        ::close(ready[0]);
        if (!mapped) h.Release();
        return h;
    }
    Holder() = default;
    Holder(Holder&& o) noexcept : pid(std::exchange(o.pid, -1)) {}
    ~Holder() { Release(); }
    void Release() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    pid_t pid = -1;
};

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// On the original platform a file in use cannot be deleted, so running programs keep their
// working files; the deletion must leave them here too, whoever holds them, in any folder.
TEST(FilesInUse, FilesHeldOpenOrMappedStayUntilReleased) {
    TempDir dir;
    const std::string a = dir / "a", b = dir / "b";
    fs::create_directories(a);
    fs::create_directories(b);
    for (const char* name : {"open.tmp", "closed.tmp"}) WriteFile(a + "/" + name, "x");
    for (const char* name : {"mapped.tmp", "mine.tmp"}) WriteFile(b + "/" + name, "x");
    ASSERT_EQ(::symlink((a + "/open.tmp").c_str(), (b + "/link.tmp").c_str()), 0);

    Holder reader = Holder::Open(a + "/open.tmp");
    ASSERT_GT(reader.pid, 0);
    const std::string openInput = "/proc/" + std::to_string(reader.pid) + "/fd/0";
    ASSERT_TRUE(test::WaitFor([&] { return SameFile(openInput, a + "/open.tmp"); }));
    Holder mapper = Holder::Mapped(b + "/mapped.tmp");
    ASSERT_GT(mapper.pid, 0);
    int mine = ::open((b + "/mine.tmp").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(mine, 0);

    LinuxFiles files;
    files.DeletePlainFiles({a, b});
    EXPECT_EQ(Names(a), std::set<std::string>{"open.tmp"});
    EXPECT_EQ(Names(b), (std::set<std::string>{"mapped.tmp", "mine.tmp"}));  // the link itself went

    reader.Release();
    mapper.Release();
    ::close(mine);
    files.DeletePlainFiles({a, b});
    EXPECT_TRUE(fs::is_empty(a));
    EXPECT_TRUE(fs::is_empty(b));
}

// btrfs and overlayfs show another device in maps than stat reports: such a mapping is found
// through its path, while the inode number alone proves nothing.
TEST(FilesInUse, AMappingUnderAnotherDeviceIsConfirmedByItsPath) {
    TempDir dir;
    for (const char* name : {"mapped.tmp", "other.tmp", "decoy.tmp"}) WriteFile(dir / name, "x");
    struct stat mapped {}, other {};
    ASSERT_EQ(::stat((dir / "mapped.tmp").c_str(), &mapped), 0);
    ASSERT_EQ(::stat((dir / "other.tmp").c_str(), &other), 0);
    ASSERT_NE(mapped.st_dev, ::makedev(0xff, 0xfe));
    char text[1024];
    std::snprintf(text, sizeof text,
                  "7f0000000000-7f0000001000 r--s 00000000 ff:fe %llu                    %s\n"
                  "7f0000001000-7f0000002000 r--s 00000000 ff:fe %llu                    %s\n"
                  "7ffc00000000-7ffc00021000 rw-p 00000000 00:00 0                          [stack]\n",
                  static_cast<unsigned long long>(mapped.st_ino), (dir / "mapped.tmp").c_str(),
                  static_cast<unsigned long long>(other.st_ino), (dir / "decoy.tmp").c_str());
    fs::create_directories(dir / "proc/4242");
    WriteFile(dir / "proc/4242/maps", text);

    FilesInUse inUse(dir / "proc");
    EXPECT_TRUE(inUse.Holds(mapped));
    EXPECT_FALSE(inUse.Holds(other));
}

INSTANTIATE_TEST_SUITE_P(Searches, PlainFiles, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "OneRead" : "Listing";
                         });

}  // namespace
}  // namespace veska
