// Where the program file, the settings file, the default temporary folder and the swap file are.
#pragma once
#include <map>
#include <string>

#include "platform/Platform.h"

namespace veska {

class LinuxPaths : public IPaths {
public:
    LinuxPaths() = default;
    ~LinuxPaths() override;
    LinuxPaths(const LinuxPaths&) = delete;
    LinuxPaths& operator=(const LinuxPaths&) = delete;

    Bytes ProgramPath() override;
    Bytes SettingsFile() override;
    Bytes DefaultTempFolder() override;
    Bytes DefaultSwapFile() override;
    Bytes SwapFileIn(const Bytes& folder) override;

    // The first swap file that /proc/swaps lists (partitions are no swap *file*), else /swapfile.
    static std::string SwapFileFrom(const std::optional<std::string>& procSwaps);
    // The first swap file listed that stands directly in the folder, else the folder's "swapfile".
    static std::string SwapFileIn(const std::optional<std::string>& procSwaps, const std::string& folder);

private:
    // The file as a CP932 path. When its folder's name has no CP932 form, the folder is reached
    // through a descriptor kept open here (/proc/self/fd/N/...), so the path is never mangled.
    Bytes reachable(const std::string& folder, const std::string& name, const char* fallbackName);
    std::map<std::string, int> folderFds_;
};

}  // namespace veska
