// The single-instance guard: an exclusive flock on a per-user lock file, held while this object lives.
#pragma once
#include <string>

#include "platform/Platform.h"

namespace veska {

class LinuxLock : public IInstanceLock {
public:
    LinuxLock() = default;
    ~LinuxLock() override;
    LinuxLock(const LinuxLock&) = delete;
    LinuxLock& operator=(const LinuxLock&) = delete;

    bool CreateMutexAlreadyExists(const Bytes& name) override;

    // $XDG_RUNTIME_DIR/<name>.lock, or /tmp/<name>-<uid>.lock without it.
    static std::string LockFilePath(const Bytes& name);

private:
    int fd_ = -1;
};

}  // namespace veska
