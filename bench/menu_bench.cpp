// The launch menu's two hot paths with full lists: the build (IniRead) and the check that runs
// at every opening of the menu (MyPopUpPopUp). Aims: the build under 5 ms, the check under 1 ms.
#include <benchmark/benchmark.h>

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

// Worst case: every one of the 255 folders exists and is empty, so every one is searched.
void BM_PopUpCheck255EmptyFolders(benchmark::State& state) {
    Fixture& f = fixture();
    TMenuItem* temp = f.main->LaunchMenu()->Items()->Items(TempAt);
    for (auto _ : state) {
        temp->Enabled = true;
        f.main->MyPopUpPopUp(f.main->LaunchMenu());
    }
    if (temp->Enabled) state.SkipWithError("the check found a file in an empty folder");
}
BENCHMARK(BM_PopUpCheck255EmptyFolders)->Unit(benchmark::kMicrosecond);

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
    for (auto _ : state) {
        temp->Enabled = true;
        f.main->MyPopUpPopUp(f.main->LaunchMenu());
    }
    if (temp->Enabled) state.SkipWithError("the check took a hidden file or a folder for a file");
    for (int i = 0; i < Temps; ++i) {
        const std::string dir = temps + "/t" + std::to_string(i);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
}
BENCHMARK(BM_PopUpCheck255FoldersOfSkippedEntries)->Unit(benchmark::kMicrosecond);

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
