// Event sounds: files play through libcanberra on a worker thread, so the caller never waits
// for a sound server (or for its absence).
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/Platform.h"

namespace veska {

class LinuxSound : public ISound {
public:
    // Plays one existing file (native path); runs on the worker thread only.
    using Player = std::function<void(const std::string& nativePath)>;

    LinuxSound();                        // plays through libcanberra
    explicit LinuxSound(Player player);  // for tests: any player
    ~LinuxSound() override;
    LinuxSound(const LinuxSound&) = delete;
    LinuxSound& operator=(const LinuxSound&) = delete;

    void PlaySoundAsync(const Bytes& path) override;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace veska
