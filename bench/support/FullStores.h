// Stores with every list full, as the benchmarks measure them: 254 launch entries, 255
// wallpapers and 255 temporary folders (existing and empty), and a complete settings key.
#pragma once
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "Unit0/Main.h"
#include "platform/scripted/ScriptedPlatform.h"
#include "store/StoreFiles.h"
#include "text/Codec.h"

namespace veska::bench {

constexpr int Launch = 254, Walls = 255, Temps = 255;
constexpr int WallAt = 3, TempAt = 7;  // positions of "P1" and "P4" in the launch list

// A UTF-8 text written as CP932 with CRLF line ends, as the stores hold it.
inline void writeText(const std::string& path, const std::string& utf8) { testing::writeStoreText(path, utf8); }

// Every list full: 254 launch entries, 255 wallpapers, 255 temporary folders.
inline std::string configText(const std::string& tempRoot) {
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

struct FullStores {
    ScriptedPlatform sp;
    std::unique_ptr<TMain> main;

    // platformSetup: changes to the platform before the resident form starts on it.
    explicit FullStores(const std::function<void(Platform&)>& platformSetup = {}) {
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
        if (platformSetup) platformSetup(sp.platform());
        main = std::make_unique<TMain>(sp.platform());
        main->ShowPropertiesDialog = [](TMain&) {};
        main->IniRead(main.get());
    }
};

}  // namespace veska::bench
