#include "PlatformTestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace veska::test {

TempDir::TempDir() {
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/veska-platform-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only entries left by tests must not keep the folder alive.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (!it->is_symlink()) ::chmod(it->path().c_str(), 0755);
    std::filesystem::remove_all(path_, ec);
}

EnvGuard::EnvGuard(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) ::setenv(name, value->c_str(), 1);
    else ::unsetenv(name);
}

EnvGuard::~EnvGuard() {
    if (old_) ::setenv(name_.c_str(), old_->c_str(), 1);
    else ::unsetenv(name_.c_str());
}

CwdGuard::CwdGuard(const std::string& folder) : old_(std::filesystem::current_path().string()) {
    std::filesystem::current_path(folder);
}

CwdGuard::~CwdGuard() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
}

void WriteFile(const std::string& path, const std::string& content, unsigned mode) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out) throw std::runtime_error("cannot write " + path);
        out << content;
    }
    ::chmod(path.c_str(), mode);
}

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int RunProbe(const std::string& probe, const std::vector<std::string>& args,
             const std::map<std::string, std::optional<std::string>>& env, const std::string& program) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        std::string kv(*e);
        auto eq = kv.find('=');
        if (eq != std::string::npos) vars[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const auto& [k, v] : env) {
        if (v) vars[k] = *v;
        else vars.erase(k);
    }
    vars["VESKA_PROBE"] = probe;
    std::vector<std::string> envStrings, argStrings{"probe"};
    for (const auto& [k, v] : vars) envStrings.push_back(k + "=" + v);
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> envp, argv;
    for (auto& s : envStrings) envp.push_back(s.data());
    for (auto& s : argStrings) argv.push_back(s.data());
    envp.push_back(nullptr);
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void KillMarkedProcesses(const std::string& envEntry) {
    const std::string needle = envEntry + '\0';
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos || std::stoi(name) == ::getpid()) continue;
        auto env = ReadFile(e.path().string() + "/environ");
        if (env && (env->rfind(needle, 0) == 0 || env->find('\0' + needle) != std::string::npos))
            ::kill(std::stoi(name), SIGKILL);
    }
}

std::vector<int> ChildrenOf(int pid) {
    std::vector<int> out;
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        auto status = ReadFile(e.path().string() + "/status");
        if (!status) continue;
        auto at = status->find("\nPPid:\t");
        if (at != std::string::npos && std::atoi(status->c_str() + at + 7) == pid) out.push_back(std::stoi(name));
    }
    return out;
}

}  // namespace veska::test
