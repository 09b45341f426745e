#include "platform/linux/LinuxLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/XdgDirs.h"
#include "text/Codec.h"

namespace veska {

LinuxLock::~LinuxLock() {
    if (fd_ >= 0) ::close(fd_);
}

std::string LinuxLock::LockFilePath(const Bytes& name) {
    std::string safe = toUtf8(name);
    for (char& c : safe)
        if (c == '/') c = '_';
    // Hidden, so that no search takes it for a temporary file: "/tmp" is also the default
    // temporary folder, and a deleted lock would let a second resident start.
    if (auto runtime = AbsoluteEnv("XDG_RUNTIME_DIR")) return *runtime + "/." + safe + ".lock";
    return "/tmp/." + safe + "-" + std::to_string(::getuid()) + ".lock";
}

bool LinuxLock::CreateMutexAlreadyExists(const Bytes& name) {
    // O_CLOEXEC: a program we launch must not keep the lock alive after we end.
    // O_NOFOLLOW: in /tmp another user could plant a link to a file of ours.
    int fd = ::open(LockFilePath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;  // no lock to be had: running unguarded beats never starting
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return false;  // someone else's file must not be able to keep us from starting
    }
    int r;
    do r = ::flock(fd, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
        bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    return false;
}

}  // namespace veska
