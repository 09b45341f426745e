#include "platform/linux/LinuxSystem.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <limits>

#include "platform/linux/ProcText.h"
#include "platform/linux/XdgDirs.h"

namespace veska {
namespace {

ResourceFigure fail(ResourceFailure f) { return {0, f}; }

ResourceFigure fileTable(const KernelTables& t) {
    if (!t.fileNr) return fail(ResourceFailure::Module);
    auto nr = ParseFileNr(*t.fileNr);
    if (!nr) return fail(ResourceFailure::Function);
    uint64_t used = nr->allocated > nr->unused ? nr->allocated - nr->unused : 0;
    auto pct = FreePercent(used, nr->max);
    return pct ? ResourceFigure{*pct, ResourceFailure::None} : fail(ResourceFailure::Function);
}

ResourceFigure taskTable(const KernelTables& t) {
    if (!t.loadavg || (!t.threadsMax && !t.pidMax)) return fail(ResourceFailure::Module);
    auto threads = ParseLoadavgThreads(*t.loadavg);
    // Every thread needs a table slot and a pid: the smaller limit is the one that bites.
    uint64_t max = std::numeric_limits<uint64_t>::max();
    bool any = false;
    for (const auto& text : {t.threadsMax, t.pidMax}) {
        if (!text) continue;
        if (auto v = ParseCount(*text)) {
            max = std::min(max, *v);
            any = true;
        }
    }
    if (!threads || !any) return fail(ResourceFailure::Function);
    auto pct = FreePercent(*threads, max);
    return pct ? ResourceFigure{*pct, ResourceFailure::None} : fail(ResourceFailure::Function);
}

}  // namespace

ResourceFigure FreeResourceFrom(const KernelTables& tables, int kind) {
    switch (kind) {
    case 1: return fileTable(tables);
    case 2: return taskTable(tables);
    case 0: {
        ResourceFigure files = fileTable(tables);
        if (files.failure != ResourceFailure::None) return files;
        ResourceFigure tasks = taskTable(tables);
        if (tasks.failure != ResourceFailure::None) return tasks;
        return {std::min(files.percent, tasks.percent), ResourceFailure::None};
    }
    default: return fail(ResourceFailure::Function);  // no such heap
    }
}

MemoryStatus LinuxSystem::GlobalMemoryStatus() {
    auto text = ReadSmallFile("/proc/meminfo");
    if (!text) return {};
    return ParseMeminfo(*text).value_or(MemoryStatus{});
}

int64_t LinuxSystem::DiskFreeBytes() {
    struct statvfs vfs {};
    if (::statvfs("/", &vfs) != 0) return -1;
    unsigned __int128 bytes = static_cast<unsigned __int128>(vfs.f_bavail) * vfs.f_frsize;
    constexpr auto top = static_cast<unsigned __int128>(std::numeric_limits<int64_t>::max());
    return bytes > top ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(bytes);
}

ResourceFigure LinuxSystem::FreeResource(int kind) {
    KernelTables t;
    if (kind == 0 || kind == 1) t.fileNr = ReadSmallFile("/proc/sys/fs/file-nr");
    if (kind == 0 || kind == 2) {
        t.loadavg = ReadSmallFile("/proc/loadavg");
        t.threadsMax = ReadSmallFile("/proc/sys/kernel/threads-max");
        t.pidMax = ReadSmallFile("/proc/sys/kernel/pid_max");
    }
    return FreeResourceFrom(t, kind);
}

}  // namespace veska
