#include "platform/linux/LinuxWallpaper.h"

#include <QImage>
#include <QString>

#include "platform/linux/DesktopWallpaper.h"
#include "platform/linux/LinuxShell.h"
#include "platform/linux/RootWallpaper.h"
#include "text/Codec.h"

namespace veska {

bool LinuxWallpaper::SetDeskWallpaper(const Bytes& path, bool tiled) {
    std::string file = path.empty() ? std::string() : AbsoluteFromCurrent(toUtf8(path));
    QImage picture;
    if (!file.empty() && !picture.load(QString::fromUtf8(file))) return false;

    const SessionDesktop desktop = CurrentDesktop();
    auto lost = [d = desktop_] {
        if (d) d->MessageBox(sj("pcmanfm-qt を起動し直せなかったため、デスクトップが表示されていません。"), {}, MB_ICONEXCLAMATION);
    };
    if (desktop.kind != DesktopKind::None && SetDesktopWallpaper(desktop.kind, file, tiled, lost)) return true;
    // Xwayland's root window lies under the compositor's own background.
    if (desktop.wayland) return false;
    return SetRootWallpaper(file.empty() ? nullptr : &picture, tiled);
}

}  // namespace veska
