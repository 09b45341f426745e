// When this test program is started as a probe (VESKA_PROBE set, see RunProbe), it performs one
// platform call in a fresh process, before main and before anything has read the environment,
// and exits. GLib keeps the user's folders and settings backend for the life of a process, so
// tests that steer them through the environment need a process of their own.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "PlatformTestSupport.h"
#include "platform/linux/DesktopWallpaper.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/LinuxPaths.h"
#include "platform/linux/LinuxShell.h"
#include "text/Codec.h"

namespace {

int runProbe(const char* probe) {
    const std::string args = veska::test::ReadFile("/proc/self/cmdline").value_or("");
    std::vector<std::string> argv;
    for (std::size_t pos = 0; pos < args.size();) {
        std::size_t end = args.find('\0', pos);
        if (end == std::string::npos) end = args.size();
        argv.push_back(args.substr(pos, end - pos));
        pos = end + 1;
    }
    if (std::strcmp(probe, "shell") == 0 && argv.size() == 2) {
        veska::LinuxShell().ShellExecute(*veska::fromUtf8(argv[1]));
        // Whatever the launch left as our own child (running or a zombie) is a fault.
        return static_cast<int>(veska::test::ChildrenOf(::getpid()).size());
    }
    if (std::strcmp(probe, "desktop-wallpaper") == 0 && argv.size() == 4) {
        auto kind = veska::DesktopFromXdg(argv[1]);
        return veska::SetDesktopWallpaper(kind, argv[2], argv[3] == "tiled") ? 0 : 1;
    }
    if (std::strcmp(probe, "program-ini") == 0 && argv.size() == 1) {
        veska::LinuxPaths paths;
        return veska::LinuxFiles().WriteFileAtomic(paths.ConfigFile(), "[x]\r\n") ? 0 : 1;
    }
    return 100;
}

const int probeResult = [] {
    if (const char* probe = std::getenv("VESKA_PROBE")) ::_exit(runProbe(probe));
    return 0;
}();

}  // namespace
