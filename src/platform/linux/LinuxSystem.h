// Memory, disk space and the free share of the kernel's tables standing in for resource heaps.
#pragma once
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace veska {

// The kernel texts the figures come from; nothing where a file could not be read.
struct KernelTables {
    std::optional<std::string> fileNr;      // /proc/sys/fs/file-nr
    std::optional<std::string> loadavg;     // /proc/loadavg
    std::optional<std::string> threadsMax;  // /proc/sys/kernel/threads-max
    std::optional<std::string> pidMax;      // /proc/sys/kernel/pid_max
};

// kind 1 (GDI): free share of the open-file table; kind 2 (user): free share of the task table
// (threads against the lower of threads-max and pid_max); kind 0 (system): the lower of the two.
// A table that cannot be read fails with Module, one that holds no usable figure with Function.
ResourceFigure FreeResourceFrom(const KernelTables& tables, int kind);

class LinuxSystem : public ISystemInfo {
public:
    MemoryStatus GlobalMemoryStatus() override;  // zeros when /proc/meminfo says nothing usable
    int64_t DiskFreeBytes() override;
    ResourceFigure FreeResource(int kind) override;
};

}  // namespace veska
