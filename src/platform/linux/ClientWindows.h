// The windows a window manager lists for a process on an X display.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace veska {

// How many windows the process shows on that display besides its desktop (minimised ones
// count); nothing when it cannot be told: no display named, or no such display, or no window manager listing its
// clients there.
std::optional<int> WindowsBesidesDesktop(const std::string& display, uint32_t pid);

}  // namespace veska
