#include "platform/linux/ClientWindows.h"

#include "platform/linux/XErrorTrap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <vector>

namespace veska {
namespace {

// The 32-bit items of a window property (a window that went meanwhile: none).
std::optional<std::vector<unsigned long>> longs(Display* d, Window w, Atom prop, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, prop, 0, 1 << 16, False, type, &actual, &format, &count, &after, &data) != Success)
        return std::nullopt;
    std::optional<std::vector<unsigned long>> out;
    if (actual == type && format == 32) {
        auto* items = reinterpret_cast<unsigned long*>(data);
        out.emplace(items, items + count);
    }
    if (data) XFree(data);
    return out;
}

}  // namespace

std::optional<int> WindowsBesidesDesktop(const std::string& display, uint32_t pid) {
    if (display.empty()) return std::nullopt;  // not an X client, or none we can reach
    Display* d = XOpenDisplay(display.c_str());
    if (d == nullptr) return std::nullopt;
    XErrorTrap trap;  // a window closing while we read it
    const Atom wmPid = XInternAtom(d, "_NET_WM_PID", False);
    const Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
    const Atom desktop = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
    std::optional<int> count;
    if (auto clients = longs(d, DefaultRootWindow(d), XInternAtom(d, "_NET_CLIENT_LIST", False), XA_WINDOW)) {
        count = 0;
        for (unsigned long w : *clients) {
            auto owner = longs(d, w, wmPid, XA_CARDINAL);
            if (!owner || owner->size() != 1 || owner->front() != pid) continue;
            auto types = longs(d, w, type, XA_ATOM);
            const bool isDesktop = types && !types->empty() && types->front() == desktop;
            if (!isDesktop) ++*count;
        }
    }
    XSync(d, False);
    XCloseDisplay(d);
    return count;
}

}  // namespace veska
