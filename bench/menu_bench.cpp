// The launch menu's two hot paths with full lists: the build (IniRead) and the check that runs
// at every opening of the menu (MyPopUpPopUp). Aims: the build under 5 ms; the check of 255
// empty folders at most 1.3 times the baseline measured beside it in the same run: the least any
// check must do, opening each folder, reading it once with getdents64 and closing it.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>

#include "support/FullStores.h"

using namespace veska;

namespace {

using namespace veska::bench;
using Fixture = FullStores;

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Counts that must hold after a build, or the figure measures the wrong work.
bool builtInFull(const TMain& m) {
    TPopupMenu* menu = m.LaunchMenu();
    return menu && menu->Items()->Count() == Launch && m.WallIndex() == WallAt && m.TempIndex() == TempAt &&
           menu->Items()->Items(WallAt)->Count() == 2 + Walls && m.LaunchSounds().size() == Launch;
}

void BM_IniReadFullLists(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        f.main->IniRead(f.main.get());
        benchmark::DoNotOptimize(f.main->LaunchMenu());
    }
    if (!builtInFull(*f.main)) state.SkipWithError("the menu was not built in full");
}
BENCHMARK(BM_IniReadFullLists)->Unit(benchmark::kMillisecond);

std::vector<std::string> tempFolders() {
    const std::string temps = toUtf8(fixture().sp.root()) + "/temps/t";
    std::vector<std::string> out;
    for (int i = 0; i < Temps; ++i) out.push_back(temps + std::to_string(i));
    return out;
}

// The baseline: the bare system calls for each folder, one read of it, or with toEnd every read
// up to the empty one that proves its end (as a check must on file systems that may return a
// folder in parts). False when a folder could not be opened.
bool bareReads(const std::vector<std::string>& folders, bool toEnd) {
    alignas(struct dirent64) char buf[32768];
    for (const std::string& folder : folders) {
        int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return false;
        while (::getdents64(fd, buf, sizeof buf) > 0 && toEnd) {
        }
        ::close(fd);
    }
    return true;
}

void BM_Baseline255FoldersBareReads(benchmark::State& state) {
    const std::vector<std::string> folders = tempFolders();
    for (auto _ : state)
        if (!bareReads(folders, state.range(0) != 0)) state.SkipWithError("a folder could not be opened");
}
BENCHMARK(BM_Baseline255FoldersBareReads)->ArgName("to_end")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The check, timed alone, with both baselines run beside it in every iteration (the check first
// in one, last in the next) so that all see the same load. ratio is the check's time over the
// one-read baseline's, the aim's measure; ratio_to_end over the read-to-the-end baseline's.
void checkAgainstBaseline(benchmark::State& state, TMenuItem* temp) {
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); };
    Fixture& f = fixture();
    const std::vector<std::string> folders = tempFolders();
    double checkTotal = 0, oneReadTotal = 0, toEndTotal = 0;
    bool checkFirst = true;
    for (auto _ : state) {
        double checkTime = 0;
        auto check = [&] {
            temp->Enabled = true;
            auto start = Clock::now();
            f.main->MyPopUpPopUp(f.main->LaunchMenu());
            checkTime = seconds(start);
        };
        if (checkFirst) check();
        auto start = Clock::now();
        bareReads(folders, false);
        oneReadTotal += seconds(start);
        start = Clock::now();
        bareReads(folders, true);
        toEndTotal += seconds(start);
        if (!checkFirst) check();
        checkFirst = !checkFirst;
        state.SetIterationTime(checkTime);
        checkTotal += checkTime;
    }
    state.counters["baseline_us"] = benchmark::Counter(oneReadTotal * 1e6, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = oneReadTotal > 0 ? checkTotal / oneReadTotal : 0;
    state.counters["ratio_to_end"] = toEndTotal > 0 ? checkTotal / toEndTotal : 0;
}

// Worst case: every one of the 255 folders exists and is empty, so every one is searched.
void BM_PopUpCheck255EmptyFolders(benchmark::State& state) {
    Fixture& f = fixture();
    TMenuItem* temp = f.main->LaunchMenu()->Items()->Items(TempAt);
    checkAgainstBaseline(state, temp);
    if (temp->Enabled) state.SkipWithError("the check found a file in an empty folder");
}
BENCHMARK(BM_PopUpCheck255EmptyFolders)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The same folders, each holding what the search passes over: hidden files and a subfolder.
void BM_PopUpCheck255FoldersOfSkippedEntries(benchmark::State& state) {
    Fixture& f = fixture();
    const std::string temps = toUtf8(f.sp.root()) + "/temps";
    for (int i = 0; i < Temps; ++i) {
        const std::string dir = temps + "/t" + std::to_string(i);
        std::filesystem::create_directories(dir + "/sub");
        for (int h = 0; h < 8; ++h) std::ofstream(dir + "/.hidden" + std::to_string(h)) << "h";
    }
    TMenuItem* temp = f.main->LaunchMenu()->Items()->Items(TempAt);
    checkAgainstBaseline(state, temp);
    if (temp->Enabled) state.SkipWithError("the check took a hidden file or a folder for a file");
    for (int i = 0; i < Temps; ++i) {
        const std::string dir = temps + "/t" + std::to_string(i);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
}
BENCHMARK(BM_PopUpCheck255FoldersOfSkippedEntries)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The first folder holds 10,000 plain files: the check has its answer at the first of them.
void BM_PopUpCheckFirstFolderOf10000Files(benchmark::State& state) {
    Fixture& f = fixture();
    const std::string dir = toUtf8(f.sp.root()) + "/temps/t0";
    for (int i = 0; i < 10000; ++i) std::ofstream(dir + "/~tmp" + std::to_string(i) + ".tmp") << "t";
    TMenuItem* temp = f.main->LaunchMenu()->Items()->Items(TempAt);
    for (auto _ : state) {
        temp->Enabled = false;
        f.main->MyPopUpPopUp(f.main->LaunchMenu());
    }
    if (!temp->Enabled) state.SkipWithError("the check missed the files");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
}
BENCHMARK(BM_PopUpCheckFirstFolderOf10000Files)->Unit(benchmark::kMicrosecond);

}  // namespace
