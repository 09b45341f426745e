#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PlatformTestSupport.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/LinuxLock.h"
#include "text/Codec.h"

extern char** environ;

namespace veska {
namespace {

using test::EnvGuard;
using test::TempDir;

const Bytes kName = "QOTVeska";

// Whether a fresh process of the same user would be refused the lock.
bool refusedInAnotherProcess() {
    pid_t pid = ::fork();
    if (pid == 0) {
        LinuxLock other;
        ::_exit(other.CreateMutexAlreadyExists(kName) ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    return WEXITSTATUS(status) == 1;
}

class LockTest : public ::testing::Test {
protected:
    TempDir dir;
    EnvGuard runtime{"XDG_RUNTIME_DIR", dir.path()};
};

TEST_F(LockTest, TheHolderRefusesASecondProcessUntilItEnds) {
    EXPECT_FALSE(refusedInAnotherProcess());
    {
        LinuxLock first;
        EXPECT_FALSE(first.CreateMutexAlreadyExists(kName));
        EXPECT_TRUE(test::Exists(dir / ".QOTVeska.lock"));
        EXPECT_TRUE(refusedInAnotherProcess());
        EXPECT_TRUE(refusedInAnotherProcess());  // a refused attempt does not disturb the holder
    }
    EXPECT_FALSE(refusedInAnotherProcess());
}

TEST_F(LockTest, AskingTwiceInOneProcessReportsTheFirst) {
    LinuxLock a, b;
    EXPECT_FALSE(a.CreateMutexAlreadyExists(kName));
    EXPECT_TRUE(b.CreateMutexAlreadyExists(kName));
}

TEST_F(LockTest, AProgramStartedMeanwhileDoesNotKeepTheLock) {
    pid_t sleeper = 0;
    {
        LinuxLock lock;
        ASSERT_FALSE(lock.CreateMutexAlreadyExists(kName));
        // posix_spawn passes on every descriptor not marked close-on-exec.
        char arg0[] = "sleep", arg1[] = "60";
        char* argv[] = {arg0, arg1, nullptr};
        ASSERT_EQ(::posix_spawn(&sleeper, "/bin/sleep", nullptr, nullptr, argv, environ), 0);
    }
    // posix_spawn returns a moment before exec has closed the close-on-exec descriptors: wait
    // for that, and fail if the lock stays held.
    bool refused = !test::WaitFor([&] { return !refusedInAnotherProcess(); }, std::chrono::seconds(5));
    ::kill(sleeper, SIGKILL);
    ::waitpid(sleeper, nullptr, 0);
    EXPECT_FALSE(refused) << "the lock descriptor was inherited by a launched program";
}

TEST_F(LockTest, OfManyStartingAtOnceExactlyOneWins) {
    constexpr int kProcesses = 6;
    for (int round = 0; round < 10; ++round) {
        int go[2], results[2], done[2];
        ASSERT_EQ(::pipe(go), 0);
        ASSERT_EQ(::pipe(results), 0);
        ASSERT_EQ(::pipe(done), 0);
        std::vector<pid_t> pids;
        for (int i = 0; i < kProcesses; ++i) {
            pid_t pid = ::fork();
            if (pid == 0) {
                ::close(go[1]);
                ::close(done[1]);
                char c;
                (void)::read(go[0], &c, 1);  // all start when the parent closes the pipe
                LinuxLock lock;
                char verdict = lock.CreateMutexAlreadyExists(kName) ? 'L' : 'W';
                (void)::write(results[1], &verdict, 1);
                (void)::read(done[0], &c, 1);  // winners hold on until everyone has tried
                ::_exit(0);
            }
            pids.push_back(pid);
        }
        ::close(go[0]);
        ::close(results[1]);
        ::close(done[0]);
        ::close(go[1]);
        int winners = 0, answers = 0;
        char verdict;
        while (answers < kProcesses && ::read(results[0], &verdict, 1) == 1) {
            ++answers;
            winners += verdict == 'W';
        }
        ::close(done[1]);
        ::close(results[0]);
        for (pid_t p : pids) ::waitpid(p, nullptr, 0);
        ASSERT_EQ(answers, kProcesses);
        EXPECT_EQ(winners, 1) << "round " << round;
    }
}

TEST(LockFile, LivesInTheRuntimeFolderElseInTmpPerUser) {
    {
        EnvGuard runtime("XDG_RUNTIME_DIR", "/run/user/1234");
        EXPECT_EQ(LinuxLock::LockFilePath(kName), "/run/user/1234/.QOTVeska.lock");
    }
    const std::string perUser = "/tmp/.QOTVeska-" + std::to_string(::getuid()) + ".lock";
    {
        EnvGuard runtime("XDG_RUNTIME_DIR", std::nullopt);
        EXPECT_EQ(LinuxLock::LockFilePath(kName), perUser);
    }
    {
        EnvGuard runtime("XDG_RUNTIME_DIR", "relative/dir");  // not a usable runtime folder
        EXPECT_EQ(LinuxLock::LockFilePath(kName), perUser);
    }
}

TEST(LockFile, NoSearchTakesItForATemporaryFile) {
    EnvGuard runtime("XDG_RUNTIME_DIR", std::nullopt);
    LinuxLock lock;
    lock.CreateMutexAlreadyExists(kName);
    LinuxFiles files;
    const std::optional<DirEntry> entry = files.FindFile(*fromUtf8(LinuxLock::LockFilePath(kName)));
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->hidden);  // searches and the deletion pass over hidden files
}

TEST(LockFile, ALinkPlantedInPlaceOfTheFileIsNotFollowed) {
    TempDir dir;
    EnvGuard runtime("XDG_RUNTIME_DIR", dir.path());
    test::WriteFile(dir / "victim", "keep");
    ASSERT_EQ(::symlink((dir / "victim").c_str(), (dir / ".QOTVeska.lock").c_str()), 0);
    LinuxLock lock;
    EXPECT_FALSE(lock.CreateMutexAlreadyExists(kName));  // starts unguarded rather than never
    int fd = ::open((dir / "victim").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << "the link's target was locked";
    ::close(fd);
}

}  // namespace
}  // namespace veska
