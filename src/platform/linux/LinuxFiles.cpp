#include "platform/linux/LinuxFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/Codec.h"

namespace veska {
namespace {

std::string native(const Bytes& path) { return toUtf8(path); }

std::string parentOf(const std::string& p) {
    auto slash = p.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return p.substr(0, slash);
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool grantsWrite(const struct stat& st) {
    uid_t uid = ::geteuid();
    if (st.st_uid == uid) return (st.st_mode & S_IWUSR) != 0;
    gid_t groups[256];
    int n = ::getgroups(256, groups);
    bool inGroup = st.st_gid == ::getegid();
    for (int i = 0; i < n && !inGroup; ++i) inGroup = groups[i] == st.st_gid;
    if (inGroup) return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

DirEntry describe(const std::string& nativePath, const std::string& nativeName) {
    DirEntry e;
    e.nativePath = nativePath;
    auto cp = fromUtf8(nativeName);
    e.name = cp ? *cp : nativeName;
    e.hidden = !nativeName.empty() && nativeName[0] == '.';
    struct stat lst {};
    if (::lstat(nativePath.c_str(), &lst) != 0) {
        e.system = true;
        return e;
    }
    struct stat st = lst;
    if (S_ISLNK(lst.st_mode) && ::stat(nativePath.c_str(), &st) != 0) {
        e.system = true;  // a dangling link is nothing a search for files should offer
        return e;
    }
    e.directory = S_ISDIR(st.st_mode);
    e.system = !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode);
    e.readOnly = !grantsWrite(st);
    e.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    return e;
}

}  // namespace

bool WritableByBits(const std::string& nativePath) {
    struct stat st {};
    return ::stat(nativePath.c_str(), &st) == 0 && grantsWrite(st);
}

std::optional<Bytes> LinuxFiles::ReadFile(const Bytes& path) {
    int fd = ::open(native(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    Bytes out;
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
    }
    ::close(fd);
    return out;
}

bool LinuxFiles::WriteFileAtomic(const Bytes& path, const Bytes& content) {
    const std::string target = native(path);
    const std::string folder = parentOf(target);
    struct stat dst {};
    if (::stat(folder.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode) || !grantsWrite(dst)) return false;
    struct stat fst {};
    bool exists = ::stat(target.c_str(), &fst) == 0;
    if (exists && (!S_ISREG(fst.st_mode) || !grantsWrite(fst))) return false;

    std::string tmpl = target + ".tmp-XXXXXX";
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = writeAll(fd, content.data(), content.size());
    if (ok && exists) ok = ::fchmod(fd, fst.st_mode & 07777) == 0;
    if (!exists) ::fchmod(fd, 0644);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmpl.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tmpl.c_str());
        return false;
    }
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool LinuxFiles::CreateDirectories(const Bytes& path) {
    std::string p = native(path);
    for (std::size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '/') {
            std::string part = p.substr(0, i);
            if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<DirEntry> LinuxFiles::ListDirectory(const Bytes& folder) {
    std::vector<DirEntry> out;
    std::string dir = native(folder);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return out;
    std::string prefix = (!dir.empty() && dir.back() == '/') ? dir : dir + "/";
    while (struct dirent* ent = ::readdir(d)) {
        if (std::strcmp(ent->d_name, ".") == 0 || std::strcmp(ent->d_name, "..") == 0) continue;
        out.push_back(describe(prefix + ent->d_name, ent->d_name));
    }
    ::closedir(d);
    return out;
}

std::optional<DirEntry> LinuxFiles::FindFile(const Bytes& path) {
    std::string p = native(path);
    struct stat lst {};
    if (p.empty() || ::lstat(p.c_str(), &lst) != 0) return std::nullopt;
    auto slash = p.find_last_of('/');
    return describe(p, slash == std::string::npos ? p : p.substr(slash + 1));
}

bool LinuxFiles::DeleteEntry(const DirEntry& entry) {
    if (entry.directory) return false;
    struct stat lst {};
    if (::lstat(entry.nativePath.c_str(), &lst) != 0) return false;
    // A read-only file cannot be deleted on the original platform; a link is judged by itself.
    if (!S_ISLNK(lst.st_mode) && !grantsWrite(lst)) return false;
    return ::unlink(entry.nativePath.c_str()) == 0;
}

}  // namespace veska
