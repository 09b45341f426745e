// The wallpaper settings of the desktops that keep their own: GSettings (GNOME, Cinnamon, MATE),
// xfconf (XFCE), the Plasma shell's scripting interface (KDE), pcmanfm-qt's desktop (LXQt) and
// sway's outputs.
#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace veska {

enum class DesktopKind { None, Gnome, Cinnamon, Mate, Xfce, Plasma, Lxqt, Sway };

// The first desktop of $XDG_CURRENT_DESKTOP ("ubuntu:GNOME", "X-Cinnamon", ...) that we know.
DesktopKind DesktopFromXdg(std::string_view xdgCurrentDesktop);

// The running session's desktop: $XDG_CURRENT_DESKTOP, else sway when its socket is announced.
// On Wayland the X root window is Xwayland's, which nobody sees.
struct SessionDesktop {
    DesktopKind kind = DesktopKind::None;
    bool wayland = false;
};
SessionDesktop CurrentDesktop();

// Sets the desktop's wallpaper (an empty path: none); false when that desktop's setting is not
// to be had (schema missing, no xfconf-query, no Plasma shell on the bus). desktopLost: called
// when a desktop that had to be started again to keep the change did not come back.
bool SetDesktopWallpaper(DesktopKind kind, const std::string& absolutePath, bool tiled,
                         std::function<void()> desktopLost = {});

// The Plasma shell script that sets every desktop's wallpaper (an empty path: a plain colour).
std::string PlasmaWallpaperScript(const std::string& absolutePath, bool tiled);

}  // namespace veska
