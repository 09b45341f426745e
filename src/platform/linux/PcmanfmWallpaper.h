// The wallpaper of the desktop pcmanfm-qt draws (LXQt's), through its D-Bus interface.
#pragma once
#include <functional>
#include <string>

namespace veska {

// Shows the picture centred or tiled on pcmanfm-qt's desktop and keeps it, with its mode, in
// that instance's settings file; an empty path removes it. False when no pcmanfm-qt on the
// session bus draws the desktop. Where the instance would not keep the mode, it is started
// again later, once it shows no window but the desktop; restartFailed is called if it then
// does not come back.
bool SetPcmanfmWallpaper(const std::string& absolutePath, bool tiled, std::function<void()> restartFailed = {});

}  // namespace veska
