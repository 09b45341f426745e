// The wallpaper settings of the desktops that keep their own: GSettings (GNOME, Cinnamon, MATE),
// xfconf (XFCE) and the Plasma shell's scripting interface (KDE).
#pragma once
#include <string>
#include <string_view>

namespace veska {

enum class DesktopKind { None, Gnome, Cinnamon, Mate, Xfce, Plasma };

// The first desktop of $XDG_CURRENT_DESKTOP ("ubuntu:GNOME", "X-Cinnamon", ...) that we know.
DesktopKind DesktopFromXdg(std::string_view xdgCurrentDesktop);

// Sets the desktop's wallpaper (an empty path: none); false when that desktop's setting is not
// to be had (schema missing, no xfconf-query, no Plasma shell on the bus).
bool SetDesktopWallpaper(DesktopKind kind, const std::string& absolutePath, bool tiled);

// The Plasma shell script that sets every desktop's wallpaper (an empty path: a plain colour).
std::string PlasmaWallpaperScript(const std::string& absolutePath, bool tiled);

}  // namespace veska
