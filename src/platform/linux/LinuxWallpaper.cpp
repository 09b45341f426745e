#include "platform/linux/LinuxWallpaper.h"

#include <QImage>
#include <QString>
#include <cstdlib>

#include "platform/linux/DesktopWallpaper.h"
#include "platform/linux/LinuxShell.h"
#include "platform/linux/RootWallpaper.h"
#include "text/Codec.h"

namespace veska {

void LinuxWallpaper::SetDeskWallpaper(const Bytes& path, bool tiled) {
    std::string file = path.empty() ? std::string() : AbsoluteFromCurrent(toUtf8(path));
    QImage picture;
    if (!file.empty() && !picture.load(QString::fromUtf8(file))) return;

    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    DesktopKind kind = DesktopFromXdg(desktop ? desktop : "");
    if (kind != DesktopKind::None && SetDesktopWallpaper(kind, file, tiled)) return;
    SetRootWallpaper(file.empty() ? nullptr : &picture, tiled);
}

}  // namespace veska
