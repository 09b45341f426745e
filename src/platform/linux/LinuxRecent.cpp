#include "platform/linux/LinuxRecent.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/linux/LinuxFiles.h"
#include "platform/linux/XdgDirs.h"
#include "text/Sjis.h"

namespace veska {

const char* const kEmptyXbel =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
    ">\n"
    "</xbel>\n";

namespace {

std::string xbelPath() { return DataHome() + "/recently-used.xbel"; }
std::string folderPath() { return DataHome() + "/RecentDocuments"; }

bool writeAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// Replaces the file's content by the empty list: temporary file beside it, flushed, renamed over
// it, so a reader sees the old list or the empty one, never half a file.
void emptyXbel(const std::string& path) {
    char real[PATH_MAX];
    if (::realpath(path.c_str(), real) == nullptr) return;  // no file: nothing to empty
    std::string target(real);
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    std::string tmp = target + ".veska-XXXXXX";
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) return;
    bool ok = writeAll(fd, kEmptyXbel, std::strlen(kEmptyXbel)) && ::fchmod(fd, st.st_mode & 07777) == 0 &&
              ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), target.c_str()) != 0) ::unlink(tmp.c_str());
}

}  // namespace

bool XbelHasBookmark(std::string_view t) {
    std::size_t i = 0;
    while ((i = t.find('<', i)) != std::string_view::npos) {
        std::string_view rest = t.substr(i);
        if (rest.substr(0, 4) == "<!--") {
            std::size_t end = t.find("-->", i + 4);
            if (end == std::string_view::npos) return false;
            i = end + 3;
            continue;
        }
        if (rest.substr(0, 9) == "<![CDATA[") {
            std::size_t end = t.find("]]>", i + 9);
            if (end == std::string_view::npos) return false;
            i = end + 3;
            continue;
        }
        if (rest.size() > 9 && rest.substr(0, 9) == "<bookmark") {
            char c = rest[9];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '>' || c == '/') return true;
        }
        ++i;
    }
    return false;
}

namespace {

// The recent-documents folder's shortcuts: entries named "*.desktop" (ASCII case ignored), of
// every kind, hidden ones included, as a search for "*.LNK" with every attribute finds them.
std::vector<std::string> shortcutsIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr) return names;
    static const std::string suffix = ".desktop";
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() < suffix.size()) continue;
        if (sameTextIgnoringAsciiCase(name.substr(name.size() - suffix.size()), suffix)) names.push_back(name);
    }
    ::closedir(d);
    return names;
}

}  // namespace

bool LinuxRecent::AnyRecent() {
    if (auto text = ReadSmallFile(xbelPath()); text && XbelHasBookmark(*text)) return true;
    return !shortcutsIn(folderPath()).empty();
}

void LinuxRecent::ClearRecent() {
    const std::string folder = folderPath();
    LinuxFiles files;
    // Listed first, deleted after: the folder is not changed while it is being read.
    for (const std::string& name : shortcutsIn(folder)) {
        DirEntry entry;
        entry.nativePath = folder + "/" + name;
        struct stat lst {};
        if (::lstat(entry.nativePath.c_str(), &lst) != 0) continue;
        entry.directory = S_ISDIR(lst.st_mode);
        files.DeleteEntry(entry);  // failures are ignored; the next entry is tried
    }
    if (auto text = ReadSmallFile(xbelPath()); text && XbelHasBookmark(*text)) emptyXbel(xbelPath());
}

}  // namespace veska
