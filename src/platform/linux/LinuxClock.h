// The seed for the random wallpaper choice.
#pragma once
#include "platform/Platform.h"

namespace veska {

class LinuxClock : public IClock {
public:
    // Microseconds since local midnight (cut to 32 bits), so two starts rarely share a seed.
    uint32_t TimeOfDaySeed() override;
};

}  // namespace veska
