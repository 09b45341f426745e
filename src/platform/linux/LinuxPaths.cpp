#include "platform/linux/LinuxPaths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/linux/ProcText.h"
#include "platform/linux/XdgDirs.h"
#include "store/ConfigFile.h"
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

// A program file replaced or removed while running (an upgrade) is reported with this mark.
const std::string DeletedMark = " (deleted)";

bool hasDeletedMark(const std::string& p) {
    return p.size() > DeletedMark.size() &&
           p.compare(p.size() - DeletedMark.size(), DeletedMark.size(), DeletedMark) == 0;
}

// The running program file's real path; empty when unknown.
std::string runningProgram() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string exe(buf, static_cast<std::size_t>(n));
    if (hasDeletedMark(exe) && exists(exe.substr(0, exe.size() - DeletedMark.size())))
        exe.resize(exe.size() - DeletedMark.size());
    return exe;
}

// The program file's folder is a real path: so must the install folder be (/bin is /usr/bin).
std::string realFolder(const std::string& folder) {
    if (folder.empty()) return folder;
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real) return folder;
    std::string r = real;
    ::free(real);
    return r;
}

}  // namespace

#ifndef VESKA_INSTALLED_BINDIR
#define VESKA_INSTALLED_BINDIR ""  // no install folder: never installed
#endif

LinuxPaths::LinuxPaths() : LinuxPaths(VESKA_INSTALLED_BINDIR) {}

LinuxPaths::LinuxPaths(std::string installedBindir) : installedBindir_(std::move(installedBindir)) {}

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
    const std::string exe = runningProgram();
    if (exe.empty()) return Bytes("veska");
    return reachable(folderOf(exe), nameOf(exe), "veska");
}

bool LinuxPaths::IsInstalled(const std::string& programFile, const std::string& installedBindir) {
    std::string bindir = installedBindir;
    while (bindir.size() > 1 && bindir.back() == '/') bindir.pop_back();
    if (bindir.empty() || bindir[0] != '/' || programFile.empty() || programFile[0] != '/') return false;
    return folderOf(programFile) == bindir;
}

Bytes LinuxPaths::userFile(const std::string& name, const char* fallbackName) {
    const std::string folder = ConfigHome() + "/veska";
    if (auto whole = fromUtf8(join(folder, name))) return *whole;
    makeFolders(folder);  // the descriptor below needs the folder to exist
    return reachable(folder, name, fallbackName);
}

Bytes LinuxPaths::ConfigFile() {
    std::string exe = runningProgram();
    if (!IsInstalled(exe, realFolder(installedBindir_))) return ConfigFilePath(ProgramPath());
    if (hasDeletedMark(exe)) exe.resize(exe.size() - DeletedMark.size());
    // Unlike the settings file, the configuration file is refused a missing folder.
    const std::string folder = ConfigHome() + "/veska";
    if (!exists(folder)) makeFolders(folder);
    return userFile(ConfigFilePath(nameOf(exe)), "veska.INI");
}

Bytes LinuxPaths::SettingsFile() { return userFile("registry.reg", "registry.reg"); }

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
