// A full configuration read the way the menu builder and the dialog read it, and written back
// the way Apply writes it: one open, everything, one close.
#include <benchmark/benchmark.h>

#include "platform/scripted/ScriptedPlatform.h"
#include "store/Lists.h"
#include "store/Names.h"
#include "text/Codec.h"

using namespace veska;
namespace n = veska::names;

namespace {

constexpr int Launch = 254, Walls = 255, Temps = 255;

struct Config {
    std::vector<Bytes> caption, name, path, sound, wallCaption, wallPath, temp;
    std::vector<bool> wallStyle;
};

Config makeConfig() {
    Config c;
    const Bytes jp = sj("アプリケーション表示");
    for (int i = 0; i < Launch; ++i) {
        c.caption.push_back(jp + std::to_string(i));
        c.name.push_back(i % 50 == 0 ? "P" + std::to_string(i / 50 % 4 + 1) : n::Null);
        c.path.push_back("/usr/local/share/" + jp + "/programs/tool" + std::to_string(i) + ".desktop");
        c.sound.push_back(i % 3 ? sj("(なし)") : "/usr/share/sounds/" + jp + std::to_string(i) + ".wav");
    }
    for (int i = 0; i < Walls; ++i) {
        c.wallCaption.push_back(sj("壁紙") + std::to_string(i));
        c.wallPath.push_back("/home/user/" + sj("画像") + "/wall" + std::to_string(i) + ".bmp");
        c.wallStyle.push_back(i % 2 == 0);
    }
    for (int i = 0; i < Temps; ++i) c.temp.push_back("/home/user/.cache/temp" + std::to_string(i));
    return c;
}

// Apply's order: erase, counts, then entry by entry.
void apply(ConfigFile& cf, const Config& c) {
    EraseListSections(cf);
    cf.WriteInteger(n::ItemCount, n::ItemNumber, Launch);
    cf.WriteInteger(n::ItemCount, n::WallNumber, Walls);
    cf.WriteInteger(n::ItemCount, n::TempNumber, Temps);
    for (int i = 0; i < Launch; ++i) {
        const Bytes key = n::ItemKey(i);
        cf.WriteString(n::MenuCaption, key, c.caption[i]);
        cf.WriteString(n::MenuName, key, c.name[i]);
        cf.WriteString(n::MenuPath, key, c.path[i]);
        cf.WriteString(n::MenuSound, key, c.sound[i]);
    }
    for (int i = 0; i < Walls; ++i) {
        const Bytes key = n::ItemKey(i);
        cf.WriteString(n::WallCaption, key, c.wallCaption[i]);
        cf.WriteString(n::WallPath, key, c.wallPath[i]);
        cf.WriteBool(n::WallStyle, key, c.wallStyle[i]);
    }
    for (int i = 0; i < Temps; ++i) cf.WriteString(n::TempFolder, n::PathItemKey(i), c.temp[i]);
}

struct Fixture {
    ScriptedPlatform sp;
    Bytes path = sp.ConfigPath();
    Config config = makeConfig();
    Fixture() {
        ConfigFile cf(sp.files, path);
        apply(cf, config);
        cf.Close();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_FullRead(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        ConfigFile cf(f.sp.files, f.path);
        int launch = ReadCount(cf, n::ItemNumber), walls = ReadCount(cf, n::WallNumber),
            temps = ReadCount(cf, n::TempNumber);
        auto caption = ReadTextList(cf, n::MenuCaption, n::Item, launch, "");
        auto name = ReadTextList(cf, n::MenuName, n::Item, launch, "");
        auto path = ReadTextList(cf, n::MenuPath, n::Item, launch, "");
        auto sound = ReadTextList(cf, n::MenuSound, n::Item, launch, "");
        auto wallCaption = ReadTextList(cf, n::WallCaption, n::Item, walls, "");
        auto wallPath = ReadTextList(cf, n::WallPath, n::Item, walls, "");
        auto wallStyle = ReadBoolList(cf, n::WallStyle, n::Item, walls, true);
        auto temp = ReadTextList(cf, n::TempFolder, n::PathItem, temps, "");
        cf.Close();
        if (sound.size() != Launch || temp.size() != Temps) state.SkipWithError("the configuration did not read back");
        benchmark::DoNotOptimize(caption.data());
        benchmark::DoNotOptimize(wallStyle);
    }
}
BENCHMARK(BM_FullRead)->Unit(benchmark::kMillisecond);

// Open, erase and rewrite everything, and produce the file's text; no flush.
void BM_FullWrite(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        ConfigFile cf(f.sp.files, f.path);
        apply(cf, f.config);
    }  // closing without Close() discards the changes
}
BENCHMARK(BM_FullWrite)->Unit(benchmark::kMillisecond);

// The same with the one atomic flush (temporary file, fsync, rename); the content alternates so
// that every Close really writes.
void BM_FullWriteAndFlush(benchmark::State& state) {
    Fixture& f = fixture();
    Config other = f.config;
    other.caption[0] += "*";
    bool flip = false;
    for (auto _ : state) {
        ConfigFile cf(f.sp.files, f.path);
        apply(cf, (flip = !flip) ? other : f.config);
        cf.Close();
    }
}
BENCHMARK(BM_FullWriteAndFlush)->Unit(benchmark::kMillisecond);

}  // namespace
