// Where the program file, the settings file, the default temporary folder and the swap file are.
#pragma once
#include <map>
#include <string>

#include "platform/Platform.h"

namespace veska {

class LinuxPaths : public IPaths {
public:
    // Installed means standing in the folder the build installs the program to.
    LinuxPaths();
    explicit LinuxPaths(std::string installedBindir);
    ~LinuxPaths() override;
    LinuxPaths(const LinuxPaths&) = delete;
    LinuxPaths& operator=(const LinuxPaths&) = delete;

    Bytes ProgramPath();  // the running program file
    Bytes ConfigFile() override;
    Bytes SettingsFile() override;
    Bytes DefaultTempFolder() override;
    Bytes DefaultSwapFile() override;
    Bytes SwapFileIn(const Bytes& folder) override;

    // The first swap file that /proc/swaps lists (partitions are no swap *file*), else /swapfile.
    static std::string SwapFileFrom(const std::optional<std::string>& procSwaps);
    // The first swap file listed that stands directly in the folder, else the folder's "swapfile".
    static std::string SwapFileIn(const std::optional<std::string>& procSwaps, const std::string& folder);
    // Whether the program file (a real path) stands directly in the install folder.
    static bool IsInstalled(const std::string& programFile, const std::string& installedBindir);

private:
    // The file as a CP932 path. When its folder's name has no CP932 form, the folder is reached
    // through a descriptor kept open here (/proc/self/fd/N/...), so the path is never mangled.
    Bytes reachable(const std::string& folder, const std::string& name, const char* fallbackName);
    // A file of the user's own in $XDG_CONFIG_HOME/veska, the folder made when missing.
    Bytes userFile(const std::string& name, const char* fallbackName);
    std::string installedBindir_;
    std::map<std::string, int> folderFds_;
};

}  // namespace veska
