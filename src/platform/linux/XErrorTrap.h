// Keeps Xlib's default error handler, which ends the process, away while it lives: windows and
// pixmaps of other clients may go at any moment between our requests.
#pragma once
#include <X11/Xlib.h>

namespace veska {

class XErrorTrap {
public:
    XErrorTrap() : old_(XSetErrorHandler(ignore)) {}
    ~XErrorTrap() { XSetErrorHandler(old_); }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

private:
    static int ignore(Display*, XErrorEvent*) { return 0; }
    XErrorHandler old_;
};

}  // namespace veska
