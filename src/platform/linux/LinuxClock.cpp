#include "platform/linux/LinuxClock.h"

#include <ctime>

namespace veska {

uint32_t LinuxClock::TimeOfDaySeed() {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    ::localtime_r(&now.tv_sec, &local);
    uint64_t seconds = static_cast<uint64_t>(local.tm_hour) * 3600 + static_cast<uint64_t>(local.tm_min) * 60 +
                       static_cast<uint64_t>(local.tm_sec);
    return static_cast<uint32_t>(seconds * 1000000 + static_cast<uint64_t>(now.tv_nsec / 1000));
}

}  // namespace veska
