// The program body: one instance, the resident form, the message loop.
#pragma once
#include <functional>

#include "platform/Platform.h"

namespace veska {

// Runs Veska on the given platform; runLoop runs the message loop until Quit. Returns the exit code.
int RunVeska(Platform& platform, const std::function<void()>& runLoop);

}  // namespace veska
