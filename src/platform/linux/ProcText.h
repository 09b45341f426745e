// Parsers for the kernel's text tables under /proc, kept free of I/O so that any sample text,
// huge or malformed, can be fed to them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace veska {

// One unsigned decimal number after optional blanks; values past 2^64-1 saturate.
std::optional<uint64_t> ParseCount(std::string_view text);

// MemTotal and MemAvailable in bytes (MemFree + Buffers + Cached on kernels without MemAvailable).
std::optional<MemoryStatus> ParseMeminfo(std::string_view text);

// /proc/sys/fs/file-nr: handles allocated, allocated but unused, and the table's maximum.
struct FileNr {
    uint64_t allocated = 0, unused = 0, max = 0;
};
std::optional<FileNr> ParseFileNr(std::string_view text);

// The "running/total" field of /proc/loadavg: the number of threads in the system.
std::optional<uint64_t> ParseLoadavgThreads(std::string_view text);

// The first row of /proc/swaps whose type is "file", with the kernel's octal escapes undone;
// with a folder, the first that stands directly in it.
std::optional<std::string> ParseFirstSwapFile(std::string_view text,
                                              std::optional<std::string_view> folder = std::nullopt);

// The whole percentage of a table that is free, rounded down; nothing for an empty table.
std::optional<int> FreePercent(uint64_t used, uint64_t max);

}  // namespace veska
