#include "platform/linux/FilesInUse.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <charconv>
#include <string_view>

#include "platform/linux/DirEntries.h"
#include "platform/linux/XdgDirs.h"

namespace veska {
namespace {

bool allDigits(const char* s) {
    if (*s == '\0') return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

// One line of maps: "address perms offset major:minor inode   path". False for an anonymous
// mapping (inode 0) or a line that does not parse.
struct Mapping {
    dev_t dev;
    ino_t ino;
    std::string_view path;
};
bool parseMapping(std::string_view line, Mapping& out) {
    std::size_t at = 0;
    for (int field = 0; field < 3; ++field) {  // address, perms, offset
        at = line.find(' ', at);
        if (at == std::string_view::npos) return false;
        ++at;
    }
    const char* const end = line.data() + line.size();
    unsigned major = 0, minor = 0;
    unsigned long long ino = 0;
    auto r = std::from_chars(line.data() + at, end, major, 16);
    if (r.ec != std::errc{} || r.ptr == end || *r.ptr != ':') return false;
    r = std::from_chars(r.ptr + 1, end, minor, 16);
    if (r.ec != std::errc{} || r.ptr == end || *r.ptr != ' ') return false;
    r = std::from_chars(r.ptr + 1, end, ino, 10);
    if (r.ec != std::errc{} || ino == 0) return false;
    out.dev = ::makedev(major, minor);
    out.ino = static_cast<ino_t>(ino);
    const std::size_t pathAt = line.find('/', static_cast<std::size_t>(r.ptr - line.data()));
    out.path = pathAt == std::string_view::npos ? std::string_view{} : line.substr(pathAt);
    return true;
}

}  // namespace

FilesInUse::FilesInUse(const std::string& proc) {
    int procFd = ::open(proc.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFd < 0) return;
    eachVisibleEntry(procFd, [&](const char* name, unsigned char) {
        if (!allDigits(name)) return true;
        int pidFd = ::openat(procFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (pidFd < 0) return true;  // the process has ended
        readDescriptors(pidFd);
        readMappings(pidFd);
        ::close(pidFd);
        return true;
    });
    ::close(procFd);
}

void FilesInUse::readDescriptors(int pidFd) {
    int fdDir = ::openat(pidFd, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDir < 0) return;  // not ours to read
    eachVisibleEntry(fdDir, [&](const char* name, unsigned char) {
        struct stat st {};
        // Following the link reaches the open file itself, even one since renamed.
        if (::fstatat(fdDir, name, &st, 0) == 0 && S_ISREG(st.st_mode)) held_.insert({st.st_dev, st.st_ino});
        return true;
    });
    ::close(fdDir);
}

void FilesInUse::readMappings(int pidFd) {
    int fd = ::openat(pidFd, "maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    const std::optional<std::string> text = ReadAndClose(fd, 1u << 26);
    if (!text) return;
    std::string_view rest = *text;
    while (!rest.empty()) {
        const std::size_t eol = rest.find('\n');
        const std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view{} : rest.substr(eol + 1);
        Mapping m;
        if (parseMapping(line, m) && held_.insert({m.dev, m.ino}).second && !m.path.empty())
            mappedPaths_.emplace(m.ino, std::string(m.path));
    }
}

bool FilesInUse::Holds(const struct stat& st) const {
    if (held_.count({st.st_dev, st.st_ino})) return true;
    auto [from, to] = mappedPaths_.equal_range(st.st_ino);
    for (auto it = from; it != to; ++it) {
        struct stat mapped {};
        if (::stat(it->second.c_str(), &mapped) == 0 && mapped.st_dev == st.st_dev && mapped.st_ino == st.st_ino)
            return true;
    }
    return false;
}

}  // namespace veska
