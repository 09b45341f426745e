// Writers killed at random moments leave each store as the old or the new file, never a torn one.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "platform/scripted/ScriptedPlatform.h"
#include "store/Lists.h"
#include "store/Names.h"
#include "store/SettingsKey.h"
#include "store/StoreFiles.h"
#include "text/Codec.h"

using namespace veska;
using namespace veska::testing;
namespace fs = std::filesystem;

namespace {

// Two whole configurations that differ in size and in every list.
int entriesOf(int variant) { return variant == 0 ? 254 : 120; }

void writeConfig(IFiles& files, const Bytes& path, int variant) {
    const int n = entriesOf(variant);
    const Bytes tag = variant == 0 ? sj("表示") : "B";
    ConfigFile cf(files, path);
    EraseListSections(cf);
    cf.WriteInteger(names::ItemCount, names::ItemNumber, n);
    cf.WriteInteger(names::ItemCount, names::TempNumber, n);
    for (int i = 0; i < n; ++i) {
        cf.WriteString(names::MenuCaption, names::ItemKey(i), tag + std::to_string(i));
        cf.WriteString(names::MenuPath, names::ItemKey(i), "/opt/" + tag + "/" + std::to_string(i));
        cf.WriteString(names::TempFolder, names::PathItemKey(i), "/tmp/" + tag + std::to_string(i));
    }
    cf.Close();
}

void writeSettings(IFiles& files, const Bytes& path, int variant) {
    SettingsKey key(files, path, names::VeskaKey);
    key.WriteString("", names::Version, variant == 0 ? "0.27" : "0.26");
    key.WriteInteger(names::Wall_paper, names::Order, variant == 0 ? 2 : 17);
    key.WriteString(names::Style, names::Icon, variant == 0 ? "/a/" + sj("表") + ".ico" : "");
    key.Close();
}

[[noreturn]] void writeForever(IFiles& files, const Bytes& ini, const Bytes& reg, int signalFd) {
    const char started = 's';
    (void)!::write(signalFd, &started, 1);
    for (int variant = 0;; variant ^= 1) {
        writeConfig(files, ini, variant);
        writeSettings(files, reg, variant);
    }
}

bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) == 1;
}

}  // namespace

TEST(StoreKill, KilledWritersLeaveTheOldOrTheNewFileNeverATornOne) {
    ScriptedPlatform sp;
    const Bytes ini = sp.ConfigPath(), reg = sp.paths.settingsFile;
    Bytes iniText[2], regText[2];
    auto cycleStart = std::chrono::steady_clock::now();
    for (int v : {0, 1}) {
        writeConfig(sp.files, ini, v);
        writeSettings(sp.files, reg, v);
        iniText[v] = slurp(ini);
        regText[v] = slurp(reg);
    }
    const auto cycle = (std::chrono::steady_clock::now() - cycleStart) / 2;
    ASSERT_NE(iniText[0], iniText[1]);
    ASSERT_NE(regText[0], regText[1]);

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(cycle * 3).count() + 1;
    std::uniform_int_distribution<long> delay(0, span);

    bool seen[2] = {false, false};
    for (int round = 0; round < 200; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            writeForever(sp.files, ini, reg, fds[1]);
        }
        ::close(fds[1]);
        bool started = readable(fds[0], 30000);
        if (started) std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(fds[0]);
        ASSERT_TRUE(started) << "round " << round << ": the writer never started";
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": the writer ended by itself";

        const Bytes onDisk = slurp(ini);
        const int v = onDisk == iniText[0] ? 0 : onDisk == iniText[1] ? 1 : -1;
        ASSERT_NE(v, -1) << "round " << round << ": torn configuration file of " << onDisk.size() << " bytes";
        seen[v] = true;
        const Bytes regOnDisk = slurp(reg);
        ASSERT_TRUE(regOnDisk == regText[0] || regOnDisk == regText[1]) << "round " << round << ": torn settings file";

        // Whatever temporary files the kill left behind, the next open reads the real file.
        ConfigFile cf(sp.files, ini);
        ASSERT_EQ(ReadCount(cf, names::ItemNumber), entriesOf(v));
        SettingsKey key(sp.files, reg, names::VeskaKey);
        ASSERT_EQ(key.ReadString("", names::Version, ""), regOnDisk == regText[0] ? "0.27" : "0.26");
    }
    EXPECT_TRUE(seen[0] && seen[1]) << "the kills never caught the writer between its two contents";

    // Leftover temporary files do not get in the way of the next write either.
    std::size_t stale = 0;
    for (const auto& e : fs::directory_iterator(fs::path(ini).parent_path()))
        stale += e.path().filename().string().find(".tmp-") != std::string::npos;
    RecordProperty("stale_temporary_files", static_cast<int>(stale));
    writeConfig(sp.files, ini, 0);
    EXPECT_EQ(slurp(ini), iniText[0]);
}
