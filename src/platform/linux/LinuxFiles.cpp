#include "platform/linux/LinuxFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/linux/DirEntries.h"
#include "platform/linux/FilesInUse.h"
#include "platform/linux/XdgDirs.h"
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
    // Root passes every owner check, so only a file without any write bit is read-only to it.
    if (uid == 0) return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    if (st.st_uid == uid) return (st.st_mode & S_IWUSR) != 0;
    gid_t groups[256];
    int n = ::getgroups(256, groups);
    bool inGroup = st.st_gid == ::getegid();
    for (int i = 0; i < n && !inGroup; ++i) inGroup = groups[i] == st.st_gid;
    if (inGroup) return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

// The temporary file beside target: its name plus ".tmp-XXXXXX", the name shortened when that
// would pass the file system's limit on one name.
std::string temporaryName(const std::string& target) {
    constexpr std::size_t maxName = 255, suffix = 11;  // ".tmp-XXXXXX"
    auto slash = target.find_last_of('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string base = target;
    if (target.size() - nameStart + suffix > maxName) base = target.substr(0, nameStart + maxName - suffix);
    return base + ".tmp-XXXXXX";
}

// Creates a new temporary file from a name ending in "XXXXXX"; the mode passes through umask.
int createTemporary(std::string& name, mode_t mode) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = name.size() - 6; i < name.size(); ++i) name[i] = letters[random() % 62];
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
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

int openFolder(const Bytes& folder) {
    return ::open(native(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
}


// Only these types can be a regular file or a link to one; the rest is never stat-ed.
bool mayBePlain(unsigned char type) { return type == DT_REG || type == DT_LNK || type == DT_UNKNOWN; }

// A link counts when it leads to a regular file; a dangling one does not.
bool leadsToRegular(int dfd, const char* name) {
    struct stat st {};
    return ::fstatat(dfd, name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool WritableByBits(const std::string& nativePath) {
    struct stat st {};
    return ::stat(nativePath.c_str(), &st) == 0 && grantsWrite(st);
}

std::optional<Bytes> LinuxFiles::ReadFile(const Bytes& path) {
    // Non-blocking so that a FIFO in the file's place cannot hang the open.
    int fd = ::open(native(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return ReadAndClose(fd, SIZE_MAX);
}

namespace {

// The file a replacement of path writes (a link's target: replacing the link by a plain file
// would cut it off from it), or nothing when the replacement is refused: a folder the user
// cannot write, or something in the file's place that is no regular file or is read-only.
std::optional<std::string> replacedFile(const Bytes& path) {
    std::string target = native(path);
    struct stat lst {};
    if (::lstat(target.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char* real = ::realpath(target.c_str(), nullptr);
        if (!real) return std::nullopt;
        target = real;
        ::free(real);
    }
    struct stat dst {};
    const std::string folder = parentOf(target);
    if (::stat(folder.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode) || !grantsWrite(dst)) return std::nullopt;
    struct stat fst {};
    if (::stat(target.c_str(), &fst) == 0 && (!S_ISREG(fst.st_mode) || !grantsWrite(fst))) return std::nullopt;
    return target;
}

}  // namespace

bool LinuxFiles::MayReplace(const Bytes& path) { return replacedFile(path).has_value(); }

bool LinuxFiles::WriteFileAtomic(const Bytes& path, const Bytes& content) {
    const std::optional<std::string> replaced = replacedFile(path);
    if (!replaced) return false;
    const std::string& target = *replaced;
    const std::string folder = parentOf(target);
    struct stat fst {};
    bool exists = ::stat(target.c_str(), &fst) == 0;

    std::string tmpl = temporaryName(target);
    int fd = createTemporary(tmpl, exists ? 0600 : 0644);
    if (fd < 0) return false;
    bool ok = writeAll(fd, content.data(), content.size());
    if (exists) {
        // Keep the owner when someone else's file is rewritten (by root); not fatal otherwise.
        // The mode comes after, as a change of owner clears set-id bits.
        if (ok && (fst.st_uid != ::geteuid() || fst.st_gid != ::getegid()))
            (void)!::fchown(fd, fst.st_uid, fst.st_gid);
        ok = ok && ::fchmod(fd, fst.st_mode & 07777) == 0;
    }
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
            struct stat st {};
            if (::stat(part.c_str(), &st) == 0) continue;
            // A folder is made only where the permission bits allow it, root or not.
            if (!WritableByBits(parentOf(part))) return false;
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

bool LinuxFiles::HoldsPlainFile(const Bytes& folder) {
    int dfd = openFolder(folder);
    if (dfd < 0) return false;
    bool found = false;
    eachVisibleEntry(dfd, [&](const char* name, unsigned char type) {
        found = type == DT_REG || (mayBePlain(type) && leadsToRegular(dfd, name));
        return !found;
    });
    ::close(dfd);
    return found;
}

void LinuxFiles::DeletePlainFiles(const std::vector<Bytes>& folders) {
    // Taken at the first file that may go, once for every folder: reading /proc costs far more
    // than one folder.
    std::optional<FilesInUse> inUse;
    for (const Bytes& folder : folders) {
        int dfd = openFolder(folder);
        if (dfd < 0) continue;
        // The whole search comes first: deleting while reading could hide entries from the read.
        std::vector<std::string> names;
        eachVisibleEntry(dfd, [&](const char* name, unsigned char type) {
            if (mayBePlain(type)) names.emplace_back(name);
            return true;
        });
        for (const std::string& name : names) {
            struct stat lst {};
            if (::fstatat(dfd, name.c_str(), &lst, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISREG(lst.st_mode)) {
                // A read-only file stays, and so does one in use, as the original platform refuses both.
                if (!grantsWrite(lst)) continue;
                if (!inUse) inUse.emplace();
                if (inUse->Holds(lst)) continue;
            } else if (!S_ISLNK(lst.st_mode) || !leadsToRegular(dfd, name.c_str())) {
                continue;  // a link is judged by where it leads, and only the link goes
            }
            ::unlinkat(dfd, name.c_str(), 0);
        }
        ::close(dfd);
    }
}

}  // namespace veska
