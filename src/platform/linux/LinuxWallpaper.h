// The desktop wallpaper: the running desktop's own setting when it keeps one, else the X root
// window, but for a Wayland session's, which nobody sees.
#pragma once
#include "platform/Platform.h"

namespace veska {

class LinuxWallpaper : public IWallpaper {
public:
    // desktop: tells the user when the desktop, started again to keep a change, did not come back.
    explicit LinuxWallpaper(IDesktop* desktop = nullptr) : desktop_(desktop) {}
    // A path that names no readable picture leaves the wallpaper as it is.
    bool SetDeskWallpaper(const Bytes& path, bool tiled) override;

private:
    IDesktop* desktop_;
};

}  // namespace veska
