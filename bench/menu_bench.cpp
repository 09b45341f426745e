// The launch menu's two hot paths with full lists: the build (IniRead) and the check that runs
// at every opening of the menu (MyPopUpPopUp). Aims: the build under 5 ms, the check under 1 ms.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "Unit0/Main.h"
#include "platform/scripted/ScriptedPlatform.h"
#include "text/Codec.h"

using namespace veska;

namespace {

constexpr int Launch = 254, Walls = 255, Temps = 255;
constexpr int WallAt = 3, TempAt = 7;  // positions of "P1" and "P4" in the launch list

// A UTF-8 text written as CP932 with CRLF line ends, as the stores hold it.
void writeText(const std::string& path, const std::string& utf8) {
    std::string crlf;
    crlf.reserve(utf8.size() + utf8.size() / 16);
    for (char c : utf8) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << sj(crlf);
}

// Every list full: 254 launch entries, 255 wallpapers, 255 temporary folders.
std::string configText(const std::string& tempRoot) {
    std::string s = "[ItemCount]\nItemNumber=" + std::to_string(Launch) + "\nWallNumber=" + std::to_string(Walls) +
                    "\nTempNumber=" + std::to_string(Temps) + "\n";
    auto section = [&](const char* name, int count, auto value) {
        s += std::string("[") + name + "]\n";
        for (int i = 0; i < count; ++i) s += value(i) + "\n";
    };
    auto item = [](int i) { return "Item" + std::to_string(i) + "="; };
    section("MenuCaption", Launch, [&](int i) { return item(i) + "アプリケーション表示 " + std::to_string(i); });
    section("MenuName", Launch, [&](int i) {
        return item(i) + (i == WallAt ? "P1" : i == TempAt ? "P4" : "Null");
    });
    section("MenuPath", Launch, [&](int i) {
        return item(i) + (i == WallAt || i == TempAt ? std::string("PersonalApplication")
                                                     : "/usr/local/share/アプリ/programs/tool" + std::to_string(i) +
                                                           ".desktop");
    });
    section("MenuSound", Launch, [&](int i) {
        return item(i) + (i % 3 ? std::string("(なし)") : "/usr/share/sounds/効果音" + std::to_string(i) + ".wav");
    });
    section("WallCaption", Walls, [&](int i) { return item(i) + "壁紙 " + std::to_string(i); });
    section("WallPath", Walls, [&](int i) { return item(i) + "/home/user/画像/wall" + std::to_string(i) + ".bmp"; });
    section("WallStyle", Walls, [&](int i) { return item(i) + (i % 2 ? "0" : "1"); });
    section("TempFolder", Temps, [&](int i) { return "PathItem" + std::to_string(i) + "=" + tempRoot + "/t" + std::to_string(i); });
    return s;
}

struct Fixture {
    ScriptedPlatform sp;
    std::unique_ptr<TMain> main;

    Fixture() {
        const std::string root = toUtf8(sp.root());
        const std::string temps = root + "/temps";
        for (int i = 0; i < Temps; ++i) std::filesystem::create_directories(temps + "/t" + std::to_string(i));
        writeText(toUtf8(sp.ConfigPath()), configText(temps));
        writeText(toUtf8(sp.paths.settingsFile),
                  "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\n\"Version\"=\"0.27\"\n"
                  "\"Contents\"=\"1\"\n\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Wall_paper]\n"
                  "\"Change\"=\"0\"\n\"Means\"=\"0\"\n\"Order\"=\"2\"\n\n"
                  "[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\n\"Icon\"=\"\"\n\"Click\"=\"1\"\n"
                  "\"SWPFile\"=\"\"\n\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Check]\n\"TempDlg\"=\"1\"\n\n");
        main = std::make_unique<TMain>(sp.platform());
        main->ShowPropertiesDialog = [](TMain&) {};
        main->IniRead(main.get());
    }
};

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
