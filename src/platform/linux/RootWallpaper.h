// The wallpaper as the X root window's background, for desktops that draw none of their own.
#pragma once
#include <cstdint>
#include <string>

class QImage;

namespace veska {

// The plain desktop colour around a centred picture and in place of a removed one.
constexpr uint32_t kPlainDesktopRgb = 0x008080;

// Puts the picture (centred or tiled) on a root-sized pixmap that outlives this connection,
// makes it the root's background and announces it through _XROOTPMAP_ID / ESETROOT_PMAP_ID,
// releasing the one set before. A null image restores the plain colour. False without a display.
bool SetRootWallpaper(const QImage* picture, bool tiled);

}  // namespace veska
