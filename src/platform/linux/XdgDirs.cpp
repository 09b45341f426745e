#include "platform/linux/XdgDirs.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace veska {

std::optional<std::string> AbsoluteEnv(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr || v[0] != '/') return std::nullopt;
    return std::string(v);
}

std::string HomeFolder() {
    if (auto home = AbsoluteEnv("HOME")) return *home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/')
        return pw->pw_dir;
    return "/";
}

static std::string under(const std::string& base, const char* rest) {
    return (!base.empty() && base.back() == '/') ? base + rest : base + "/" + rest;
}

std::string ConfigHome() {
    if (auto v = AbsoluteEnv("XDG_CONFIG_HOME")) return *v;
    return under(HomeFolder(), ".config");
}

std::string DataHome() {
    if (auto v = AbsoluteEnv("XDG_DATA_HOME")) return *v;
    return under(HomeFolder(), ".local/share");
}

std::optional<std::string> ReadAndClose(int fd, std::size_t limit) {
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
        if (out.size() > limit) break;
    }
    ::close(fd);
    return out;
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    return ReadAndClose(fd, 1u << 24);  // no kernel table we read comes near this
}

}  // namespace veska
