#include "platform/linux/LinuxSound.h"

#include <canberra.h>
#include <sys/stat.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "text/Codec.h"

namespace veska {

// Owned jointly by the object and the worker, so the worker may outlive a destroyed object
// while it is stuck in a sound server call.
struct LinuxSound::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<std::string> next;  // a newer request replaces one not yet started
    bool stop = false;
    Player player;
};

namespace {

class CanberraPlayer {
public:
    CanberraPlayer() = default;
    ~CanberraPlayer() {
        if (ctx_) ca_context_destroy(ctx_);
    }
    void operator()(const std::string& file) {
        if (!ctx_ && ca_context_create(&ctx_) == CA_SUCCESS)
            ca_context_change_props(ctx_, CA_PROP_APPLICATION_NAME, "Veska", nullptr);
        if (!ctx_) return;
        ca_context_cancel(ctx_, 1);  // a new sound cuts the one still playing
        ca_context_play(ctx_, 1, CA_PROP_MEDIA_FILENAME, file.c_str(), CA_PROP_CANBERRA_CACHE_CONTROL, "never",
                        nullptr);
    }

private:
    ca_context* ctx_ = nullptr;
};

void work(std::shared_ptr<LinuxSound::Shared> s) {
    for (;;) {
        std::string file;
        {
            std::unique_lock lock(s->mutex);
            s->wake.wait(lock, [&] { return s->stop || s->next; });
            if (s->stop) return;
            file = std::move(*s->next);
            s->next.reset();
        }
        s->player(file);
    }
}

}  // namespace

LinuxSound::LinuxSound()
    : LinuxSound([player = std::make_shared<CanberraPlayer>()](const std::string& f) { (*player)(f); }) {}

LinuxSound::LinuxSound(Player player) : shared_(std::make_shared<Shared>()) {
    shared_->player = std::move(player);
    std::thread(work, shared_).detach();
}

LinuxSound::~LinuxSound() {
    std::lock_guard lock(shared_->mutex);
    shared_->stop = true;
    shared_->wake.notify_all();
}

void LinuxSound::PlaySoundAsync(const Bytes& path) {
    std::string file = toUtf8(path);
    struct stat st {};
    if (file.empty() || ::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    std::lock_guard lock(shared_->mutex);
    shared_->next = std::move(file);
    shared_->wake.notify_all();
}

}  // namespace veska
