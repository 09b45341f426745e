// The desktop wallpaper: the running desktop's own setting when it keeps one, else the X root
// window, but for a Wayland session's, which nobody sees.
#pragma once
#include "platform/Platform.h"

namespace veska {

class LinuxWallpaper : public IWallpaper {
public:
    // A path that names no readable picture leaves the wallpaper as it is.
    bool SetDeskWallpaper(const Bytes& path, bool tiled) override;
};

}  // namespace veska
