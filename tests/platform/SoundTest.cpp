#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "PlatformTestSupport.h"
#include "platform/linux/LinuxSound.h"

namespace veska {
namespace {

using test::TempDir;

// A 16-bit mono PCM file of a few milliseconds of silence.
std::string wave() {
    auto le = [](uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xff);
        return s;
    };
    const uint32_t samples = 441;
    std::string data(samples * 2, '\0');
    return "RIFF" + le(36 + static_cast<uint32_t>(data.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) +
           le(44100, 4) + le(88200, 4) + le(2, 2) + le(16, 2) + "data" + le(static_cast<uint32_t>(data.size()), 4) +
           data;
}

// A player that blocks until released, as a hung sound server would.
struct GatedPlayer {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    std::vector<std::string> played;

    LinuxSound::Player player() {
        return [this](const std::string& f) {
            std::unique_lock lock(m);
            played.push_back(f);
            cv.notify_all();
            cv.wait(lock, [&] { return open; });
        };
    }
    void release() {
        std::lock_guard lock(m);
        open = true;
        cv.notify_all();
    }
    std::size_t count() {
        std::lock_guard lock(m);
        return played.size();
    }
};

TEST(Sound, AMissingFileNeverReachesThePlayer) {
    TempDir dir;
    test::WriteFile(dir / "ok.wav", wave());
    GatedPlayer gate;
    gate.release();
    LinuxSound sound(gate.player());
    sound.PlaySoundAsync(dir / "missing.wav");
    sound.PlaySoundAsync("");
    sound.PlaySoundAsync(dir.path());  // a folder is no sound
    sound.PlaySoundAsync(dir / "ok.wav");
    ASSERT_TRUE(test::WaitFor([&] { return gate.count() >= 1; }));
    std::lock_guard lock(gate.m);
    EXPECT_EQ(gate.played, std::vector<std::string>{dir / "ok.wav"});
}

TEST(Sound, AHungPlayerNeverHoldsUpTheCaller) {
    TempDir dir;
    test::WriteFile(dir / "a.wav", wave());
    test::WriteFile(dir / "b.wav", wave());
    test::WriteFile(dir / "c.wav", wave());
    GatedPlayer gate;
    {
        LinuxSound sound(gate.player());
        sound.PlaySoundAsync(dir / "a.wav");
        ASSERT_TRUE(test::WaitFor([&] { return gate.count() == 1; }));
        // The player is stuck on a.wav; these calls must still return, the newest one winning.
        sound.PlaySoundAsync(dir / "b.wav");
        sound.PlaySoundAsync(dir / "c.wav");
        gate.release();
        ASSERT_TRUE(test::WaitFor([&] { return gate.count() == 2; }));
    }  // destroying it while the worker may still run must be safe
    std::lock_guard lock(gate.m);
    EXPECT_EQ(gate.played, (std::vector<std::string>{dir / "a.wav", dir / "c.wav"}));
}

}  // namespace
}  // namespace veska
