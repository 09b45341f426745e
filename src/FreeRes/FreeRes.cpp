#include "FreeRes/FreeRes.h"

#include <algorithm>
#include <string>

#include "vcl/Exception.h"

namespace veska {

namespace {

const char* FailureMessage(ResourceFailure failure) {
    switch (failure) {
        case ResourceFailure::Module: return "Faild to call User.exe";
        case ResourceFailure::Function: return "Faild to call function";
        case ResourceFailure::Kernel: return "Faild to call Kernel32.dll";
        case ResourceFailure::Thunk: return "Faild to call QT_Thunk";
        case ResourceFailure::None: break;
    }
    return nullptr;
}

}  // namespace

uint16_t QueryFreeResource(ISystemInfo& system, int kind) {
    ResourceFigure figure = system.FreeResource(kind);
    if (const char* message = FailureMessage(figure.failure)) throw Exception(message);
    // Callers print the figure as a percentage: never let a platform slip hand them 140 or -3.
    return static_cast<uint16_t>(std::clamp(figure.percent, 0, 100));
}

void GetFreeResources(ISystemInfo& system, Bytes& System, Bytes& GDI, Bytes& User) {
    System = std::to_string(QueryFreeResource(system, GFSR_SYSTEMRESOURCES));
    GDI = std::to_string(QueryFreeResource(system, GFSR_GDIRESOURCES));
    User = std::to_string(QueryFreeResource(system, GFSR_USERRESOURCES));
}

}  // namespace veska
