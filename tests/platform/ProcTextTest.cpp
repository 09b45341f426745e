#include <gtest/gtest.h>

#include "platform/linux/LinuxPaths.h"
#include "platform/linux/LinuxSystem.h"
#include "platform/linux/ProcText.h"

namespace veska {
namespace {

const char* kMeminfo =
    "MemTotal:       16318612 kB\n"
    "MemFree:         1191236 kB\n"
    "MemAvailable:   11863604 kB\n"
    "Buffers:          627068 kB\n"
    "Cached:          9528304 kB\n"
    "HugePages_Total:       0\n"
    "Hugepagesize:       2048 kB\n";

TEST(Meminfo, TakesTotalAndAvailableInBytes) {
    auto m = ParseMeminfo(kMeminfo);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->totalPhys, 16318612ull * 1024);
    EXPECT_EQ(m->availPhys, 11863604ull * 1024);
}

TEST(Meminfo, FiguresPastFourGigabytesKeepEveryByte) {
    auto m = ParseMeminfo("MemTotal: 4294967296 kB\nMemAvailable: 4194304 kB\n");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->totalPhys, 4398046511104ull);
    EXPECT_EQ(m->availPhys, 4294967296ull);
}

TEST(Meminfo, AbsurdFiguresSaturateInsteadOfWrapping) {
    auto m = ParseMeminfo("MemTotal: 99999999999999999999999 kB\nMemAvailable: 18014398509481984 kB\n");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->totalPhys, UINT64_MAX);
    EXPECT_EQ(m->availPhys, UINT64_MAX);  // 2^54 kB is 2^64 bytes: one past the top
}

TEST(Meminfo, OldKernelsWithoutMemAvailableCountFreeBuffersAndCache) {
    auto m = ParseMeminfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 20 kB\nCached: 300 kB\n");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->availPhys, 420u * 1024);
}

TEST(Meminfo, AvailableNeverExceedsTotal) {
    auto m = ParseMeminfo("MemTotal: 100 kB\nMemAvailable: 200 kB\n");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->availPhys, m->totalPhys);
}

TEST(Meminfo, TextWithoutTheFiguresGivesNothing) {
    EXPECT_FALSE(ParseMeminfo(""));
    EXPECT_FALSE(ParseMeminfo("MemAvailable: 5 kB\n"));
    EXPECT_FALSE(ParseMeminfo("MemTotal: lots kB\nMemAvailable: 5 kB\n"));
    EXPECT_FALSE(ParseMeminfo("MemTotal: 100 kB\n"));
    EXPECT_FALSE(ParseMeminfo("MemTotal: -100 kB\nMemAvailable: 5 kB\n"));
}

TEST(FileNr, ParsesTheThreeFigures) {
    auto f = ParseFileNr("9536\t0\t9223372036854775807\n");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->allocated, 9536u);
    EXPECT_EQ(f->unused, 0u);
    EXPECT_EQ(f->max, 9223372036854775807ull);
}

TEST(FileNr, MalformedTextGivesNothing) {
    EXPECT_FALSE(ParseFileNr(""));
    EXPECT_FALSE(ParseFileNr("1 2\n"));
    EXPECT_FALSE(ParseFileNr("1 2 3 4\n"));
    EXPECT_FALSE(ParseFileNr("1 x 3\n"));
}

TEST(Loadavg, TakesTheTotalOfRunningSlashTotal) {
    EXPECT_EQ(ParseLoadavgThreads("0.52 0.58 0.59 3/1265 123456\n"), 1265u);
    EXPECT_FALSE(ParseLoadavgThreads("0.52 0.58 0.59 1265 123456\n"));
    EXPECT_FALSE(ParseLoadavgThreads("0.52 0.58\n"));
    EXPECT_FALSE(ParseLoadavgThreads("0.52 0.58 0.59 a/12 1\n"));
}

TEST(FreePercent, RoundsDownAndStaysInRange) {
    EXPECT_EQ(FreePercent(0, 200), 100);
    EXPECT_EQ(FreePercent(1, 200), 99);  // 99.5 is not yet 100
    EXPECT_EQ(FreePercent(199, 200), 0);
    EXPECT_EQ(FreePercent(200, 200), 0);
    EXPECT_EQ(FreePercent(500, 200), 0);  // more in use than the table holds
    EXPECT_FALSE(FreePercent(0, 0));
}

TEST(FreePercent, HugeTablesDoNotOverflow) {
    EXPECT_EQ(FreePercent(9536, 9223372036854775807ull), 99);
    EXPECT_EQ(FreePercent(0, UINT64_MAX), 100);
    EXPECT_EQ(FreePercent(UINT64_MAX / 2, UINT64_MAX), 50);
    EXPECT_EQ(FreePercent(UINT64_MAX / 100 * 99 + 100, UINT64_MAX), 0);
}

TEST(Swaps, TakesTheFirstFileAndPassesOverPartitions) {
    const char* text =
        "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n"
        "/dev/nvme0n1p3                          partition\t16777212\t0\t\t-2\n"
        "/swapfile                               file\t\t2097148\t\t0\t\t-3\n"
        "/var/swap2                              file\t\t1024\t\t0\t\t-4\n";
    EXPECT_EQ(ParseFirstSwapFile(text), "/swapfile");
}

TEST(Swaps, UndoesTheKernelsEscapes) {
    EXPECT_EQ(ParseFirstSwapFile("Filename Type Size Used Priority\n/mnt/my\\040swap\\134x file 1 0 -2\n"),
              "/mnt/my swap\\x");
}

TEST(Swaps, SkipsDeletedFilesAndGivesNothingWithoutFiles) {
    EXPECT_EQ(
        ParseFirstSwapFile("Filename Type Size Used Priority\n/old\\040(deleted) file 1 0 -2\n/new file 1 0 -3\n"),
        "/new");
    EXPECT_FALSE(ParseFirstSwapFile("Filename Type Size Used Priority\n/dev/zram0 partition 8 0 100\n"));
    EXPECT_FALSE(ParseFirstSwapFile(""));
}

TEST(Swaps, DefaultSwapFileFallsBackToSlashSwapfile) {
    EXPECT_EQ(LinuxPaths::SwapFileFrom(std::nullopt), "/swapfile");
    EXPECT_EQ(LinuxPaths::SwapFileFrom(std::string("Filename Type Size Used Priority\n")), "/swapfile");
    EXPECT_EQ(LinuxPaths::SwapFileFrom(std::string("Filename Type\n/swap.img file 4 0 -2\n")), "/swap.img");
    // A name without a CP932 form is not offered mangled.
    EXPECT_EQ(LinuxPaths::SwapFileFrom(std::string("Filename Type\n/sw\xc3\xa9p file 4 0 -2\n")), "/swapfile");
}

TEST(Swaps, TheSwapFileInAFolderIsOneStandingDirectlyInIt) {
    const std::string swaps = "Filename Type\n/var/lib/sw file 4 0 -2\n/var/swap.img file 4 0 -3\n/swap0 file 4 0 -4\n";
    EXPECT_EQ(LinuxPaths::SwapFileIn(swaps, "/var"), "/var/swap.img");  // not /var/lib's
    EXPECT_EQ(LinuxPaths::SwapFileIn(swaps, "/var/"), "/var/swap.img");
    EXPECT_EQ(LinuxPaths::SwapFileIn(swaps, "/"), "/swap0");
    EXPECT_EQ(LinuxPaths::SwapFileIn(swaps, "/home"), "/home/swapfile");
    EXPECT_EQ(LinuxPaths::SwapFileIn(std::nullopt, "/"), "/swapfile");
}

KernelTables sampleTables() {
    KernelTables t;
    t.fileNr = "2000\t0\t10000\n";                    // 80 % free
    t.loadavg = "0.10 0.20 0.30 2/300 4242\n";        // 300 threads
    t.threadsMax = "127389\n";
    t.pidMax = "1000\n";                              // the tighter limit: 70 % free
    return t;
}

TEST(FreeResource, GdiIsTheFreeShareOfTheFileTable) {
    EXPECT_EQ(FreeResourceFrom(sampleTables(), 1).percent, 80);
    KernelTables t = sampleTables();
    t.fileNr = "3000 1000 10000\n";  // handles allocated but unused are free
    EXPECT_EQ(FreeResourceFrom(t, 1).percent, 80);
    t.fileNr = "9536 0 9223372036854775807\n";
    EXPECT_EQ(FreeResourceFrom(t, 1).percent, 99);
}

TEST(FreeResource, UserIsTheFreeShareOfTheTaskTableUnderTheTighterLimit) {
    EXPECT_EQ(FreeResourceFrom(sampleTables(), 2).percent, 70);
    KernelTables t = sampleTables();
    t.pidMax.reset();
    EXPECT_EQ(FreeResourceFrom(t, 2).percent, 99);  // 300 of 127389
    EXPECT_EQ(FreeResourceFrom(t, 2).failure, ResourceFailure::None);
}

TEST(FreeResource, SystemIsTheLowerOfTheTwo) {
    ResourceFigure f = FreeResourceFrom(sampleTables(), 0);
    EXPECT_EQ(f.failure, ResourceFailure::None);
    EXPECT_EQ(f.percent, 70);
    KernelTables t = sampleTables();
    t.fileNr = "9000 0 10000\n";
    EXPECT_EQ(FreeResourceFrom(t, 0).percent, 10);
}

TEST(FreeResource, UnreadableTablesFailWithModuleAndUnusableOnesWithFunction) {
    KernelTables t = sampleTables();
    t.fileNr.reset();
    EXPECT_EQ(FreeResourceFrom(t, 1).failure, ResourceFailure::Module);
    EXPECT_EQ(FreeResourceFrom(t, 0).failure, ResourceFailure::Module);
    EXPECT_EQ(FreeResourceFrom(t, 2).failure, ResourceFailure::None);

    t = sampleTables();
    t.fileNr = "garbage\n";
    EXPECT_EQ(FreeResourceFrom(t, 1).failure, ResourceFailure::Function);
    t.fileNr = "0 0 0\n";
    EXPECT_EQ(FreeResourceFrom(t, 1).failure, ResourceFailure::Function);

    t = sampleTables();
    t.threadsMax.reset();
    t.pidMax.reset();
    EXPECT_EQ(FreeResourceFrom(t, 2).failure, ResourceFailure::Module);
    t = sampleTables();
    t.loadavg = "0.1 0.2\n";
    EXPECT_EQ(FreeResourceFrom(t, 2).failure, ResourceFailure::Function);
    EXPECT_EQ(FreeResourceFrom(t, 0).failure, ResourceFailure::Function);

    EXPECT_EQ(FreeResourceFrom(sampleTables(), 3).failure, ResourceFailure::Function);
    EXPECT_EQ(FreeResourceFrom(sampleTables(), -1).failure, ResourceFailure::Function);
}

TEST(LinuxSystem, ReadsThisMachinesFigures) {
    LinuxSystem sys;
    MemoryStatus m = sys.GlobalMemoryStatus();
    EXPECT_GT(m.totalPhys, 16ull * 1024 * 1024);
    EXPECT_GT(m.availPhys, 0u);
    EXPECT_LE(m.availPhys, m.totalPhys);
    EXPECT_GE(sys.DiskFreeBytes(), 0);
    for (int kind = 0; kind <= 2; ++kind) {
        ResourceFigure f = sys.FreeResource(kind);
        EXPECT_EQ(f.failure, ResourceFailure::None) << kind;
        EXPECT_GE(f.percent, 0);
        EXPECT_LE(f.percent, 100);
    }
}

}  // namespace
}  // namespace veska
