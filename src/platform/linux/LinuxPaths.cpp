#include "platform/linux/LinuxPaths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/linux/ProcText.h"
#include "platform/linux/XdgDirs.h"
#include "text/Codec.h"

namespace veska {
namespace {

std::string folderOf(const std::string& p) {
    auto slash = p.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? "/" : p.substr(0, slash);
}

std::string nameOf(const std::string& p) {
    auto slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool exists(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0;
}

void makeFolders(const std::string& p) {
    for (std::size_t i = 1; i <= p.size(); ++i)
        if (i == p.size() || p[i] == '/') ::mkdir(p.substr(0, i).c_str(), 0700);
}

}  // namespace

LinuxPaths::~LinuxPaths() {
    for (auto& [folder, fd] : folderFds_) ::close(fd);
}

Bytes LinuxPaths::reachable(const std::string& folder, const std::string& name, const char* fallbackName) {
    if (auto whole = fromUtf8(join(folder, name))) return *whole;
    auto cpName = fromUtf8(name);
    Bytes leaf = cpName ? *cpName : Bytes(fallbackName);
    auto it = folderFds_.find(folder);
    if (it == folderFds_.end()) {
        int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return Bytes("/proc/self/fd/-1/") + leaf;  // names nothing: reads and writes fail
        it = folderFds_.emplace(folder, fd).first;
    }
    return "/proc/self/fd/" + std::to_string(it->second) + "/" + leaf;
}

Bytes LinuxPaths::ProgramPath() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return Bytes("veska");
    std::string exe(buf, static_cast<std::size_t>(n));
    // A program file replaced while running (an upgrade) is reported with this mark.
    const std::string deleted = " (deleted)";
    if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0 &&
        exists(exe.substr(0, exe.size() - deleted.size())))
        exe.resize(exe.size() - deleted.size());
    return reachable(folderOf(exe), nameOf(exe), "veska");
}

Bytes LinuxPaths::SettingsFile() {
    std::string folder = ConfigHome() + "/veska";
    if (auto whole = fromUtf8(folder + "/registry.reg")) return *whole;
    makeFolders(folder);  // the descriptor below needs the folder to exist
    return reachable(folder, "registry.reg", "registry.reg");
}

Bytes LinuxPaths::DefaultTempFolder() {
    // Stored in the configuration file, so it must be a lasting name: no descriptor path here.
    if (auto tmp = AbsoluteEnv("TMPDIR")) {
        std::string t = *tmp;
        while (t.size() > 1 && t.back() == '/') t.pop_back();
        if (auto cp = fromUtf8(t)) return *cp;
    }
    return Bytes("/tmp");
}

std::string LinuxPaths::SwapFileFrom(const std::optional<std::string>& procSwaps) {
    if (procSwaps) {
        if (auto file = ParseFirstSwapFile(*procSwaps); file && fromUtf8(*file)) return *file;
    }
    return "/swapfile";
}

std::string LinuxPaths::SwapFileIn(const std::optional<std::string>& procSwaps, const std::string& folder) {
    if (procSwaps)
        if (auto file = ParseFirstSwapFile(*procSwaps, folder)) return *file;
    return folder + (!folder.empty() && folder.back() == '/' ? "" : "/") + "swapfile";
}

Bytes LinuxPaths::SwapFileIn(const Bytes& folder) {
    const std::string file = SwapFileIn(ReadSmallFile("/proc/swaps"), toUtf8(folder));
    return fromUtf8(file).value_or(folder + (!folder.empty() && folder.back() == '/' ? "" : "/") + "swapfile");
}

Bytes LinuxPaths::DefaultSwapFile() {
    return *fromUtf8(SwapFileFrom(ReadSmallFile("/proc/swaps")));
}

}  // namespace veska
