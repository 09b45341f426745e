// Helpers for the platform tests: scratch folders, environment changes undone at the end,
// waiting for a file with a time-out, and re-running this test program as a probe child.
#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veska::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets (or, with nothing, unsets) a variable until the end of the scope.
class EnvGuard {
public:
    EnvGuard(const char* name, std::optional<std::string> value);
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Changes the current folder until the end of the scope.
class CwdGuard {
public:
    explicit CwdGuard(const std::string& folder);
    ~CwdGuard();

private:
    std::string old_;
};

void WriteFile(const std::string& path, const std::string& content, unsigned mode = 0644);
std::optional<std::string> ReadFile(const std::string& path);
bool Exists(const std::string& path);

// Polls until the condition holds or the time-out passes; true when it held.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Runs this test program again with the environment changed; before main it performs the probe
// named (see Probe.cpp) and exits with its result. Returns the exit code, -1 when it did not run.
// The program run is this one, or a copy of it given as program.
int RunProbe(const std::string& probe, const std::vector<std::string>& args,
             const std::map<std::string, std::optional<std::string>>& env,
             const std::string& program = "/proc/self/exe");

// Kills the processes whose environment holds the entry (a marker the test gave them).
void KillMarkedProcesses(const std::string& envEntry);

// The processes whose parent is the process given.
std::vector<int> ChildrenOf(int pid);

}  // namespace veska::test
