// The free share of the three resource heaps. The platform works the figure out; this unit
// turns a figure it cannot have into the query's error messages.
#pragma once
#include <cstdint>

#include "platform/Platform.h"

namespace veska {

// Resource kinds.
constexpr int GFSR_SYSTEMRESOURCES = 0, GFSR_GDIRESOURCES = 1, GFSR_USERRESOURCES = 2;

// Percentage (0..100) of the kind that is free. Raises Exception with "Faild to call User.exe",
// "Faild to call function", "Faild to call Kernel32.dll" or "Faild to call QT_Thunk" when the
// platform has no figure.
uint16_t QueryFreeResource(ISystemInfo& system, int kind);

// Decimal texts for kinds 0, 1 and 2, filled in that order; an error ends the operation and
// leaves the out-parameters filled before it with their new text.
void GetFreeResources(ISystemInfo& system, Bytes& System, Bytes& GDI, Bytes& User);

}  // namespace veska
