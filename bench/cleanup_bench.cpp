// Deleting the temporary files of one listed folder holding 10,000 small files, beside
// `find DIR -maxdepth 1 -type f -delete` on an identical tree in the same run.
// Aim: the cleanup takes no more than 1.3 times find's time. Unlike find it first reads which
// files are in use, from every process in /proc (timed alone in BM_InUseSnapshot); that read
// grows with the processes running, not with the files deleted.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "Unit0/Main.h"
#include "platform/linux/FilesInUse.h"
#include "platform/scripted/ScriptedPlatform.h"
#include "text/Codec.h"

extern char** environ;

using namespace veska;
namespace fs = std::filesystem;

namespace {

constexpr int Files = 10000;
using Clock = std::chrono::steady_clock;

// Small files with names like a program's temporary files; the build is not timed.
// Empty files leave the kernel the least work, so they show the cleanup's own cost the best.
void fillFolder(const std::string& dir, std::size_t size) {
    fs::create_directories(dir);
    char name[64];
    for (int i = 0; i < Files; ++i) {
        std::snprintf(name, sizeof name, "/~tmp%05d.tmp", i);
        int fd = ::open((dir + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) throw std::runtime_error("cannot create " + dir + name);
        if (size) (void)!::write(fd, "temporary data, more temporary data", std::min<std::size_t>(size, 35));
        ::close(fd);
    }
}

bool isEmpty(const std::string& dir) { return fs::is_empty(dir); }

double runFind(const std::string& dir) {
    std::string prog = "find", depth = "-maxdepth", one = "1", type = "-type", f = "f", del = "-delete";
    std::string folder = dir;
    char* argv[] = {prog.data(), folder.data(), depth.data(), one.data(), type.data(), f.data(), del.data(), nullptr};
    auto start = Clock::now();
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "find", nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    auto end = Clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(end - start).count();
}

struct Fixture {
    ScriptedPlatform sp;
    std::unique_ptr<TMain> main;
    std::string ours, theirs;

    Fixture() {
        const std::string root = toUtf8(sp.root());
        ours = root + "/temp";
        theirs = root + "/find";
        std::ofstream(toUtf8(sp.ConfigPath()), std::ios::binary)
            << "[ItemCount]\r\nTempNumber=1\r\n[TempFolder]\r\nPathItem0=" << ours << "\r\n";
        main = std::make_unique<TMain>(sp.platform());
        main->ShowPropertiesDialog = [](TMain&) {};
    }
};

// Both folders are filled anew before every iteration; which one goes first alternates, so
// neither profits from the other warming the caches.
void BM_SubTempDelAgainstFind(benchmark::State& state) {
    Fixture f;
    double oursTotal = 0, theirsTotal = 0;
    bool oursFirst = true;
    for (auto _ : state) {
        state.PauseTiming();
        fillFolder(f.ours, static_cast<std::size_t>(state.range(0)));
        fillFolder(f.theirs, static_cast<std::size_t>(state.range(0)));
        ::sync();
        state.ResumeTiming();

        double oursTime = 0, theirsTime = 0;
        auto runOurs = [&] {
            auto start = Clock::now();
            f.main->SubTempDel(f.main.get());
            oursTime = std::chrono::duration<double>(Clock::now() - start).count();
        };
        if (oursFirst) runOurs();
        theirsTime = runFind(f.theirs);
        if (!oursFirst) runOurs();
        oursFirst = !oursFirst;

        if (theirsTime < 0) {
            state.SkipWithError("find failed");
            break;
        }
        if (!isEmpty(f.ours) || !isEmpty(f.theirs)) {
            state.SkipWithError("a folder was not emptied");
            break;
        }
        state.SetIterationTime(oursTime);
        oursTotal += oursTime;
        theirsTotal += theirsTime;
    }
    state.counters["veska_ms"] = benchmark::Counter(oursTotal * 1000, benchmark::Counter::kAvgIterations);
    state.counters["find_ms"] = benchmark::Counter(theirsTotal * 1000, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = theirsTotal > 0 ? oursTotal / theirsTotal : 0;
}
BENCHMARK(BM_SubTempDelAgainstFind)->ArgName("bytes")->Arg(0)->Arg(15)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

// What the deletion adds before its first file: the list of files in use, read from every
// process in /proc that this user may read (all of them for root).
void BM_InUseSnapshot(benchmark::State& state) {
    std::size_t held = 0;
    for (auto _ : state) {
        FilesInUse inUse;
        held = inUse.size();
    }
    int processes = 0;
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        processes += std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
    }
    state.counters["processes"] = processes;
    state.counters["files_held"] = static_cast<double>(held);
}
BENCHMARK(BM_InUseSnapshot)->Unit(benchmark::kMicrosecond);

}  // namespace
