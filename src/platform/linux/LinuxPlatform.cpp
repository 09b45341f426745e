#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/LinuxClock.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/LinuxFileDialogs.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/LinuxLock.h"
#include "platform/linux/LinuxPaths.h"
#include "platform/linux/LinuxRecent.h"
#include "platform/linux/LinuxShell.h"
#include "platform/linux/LinuxSound.h"
#include "platform/linux/LinuxSystem.h"
#include "platform/linux/tray/LinuxTray.h"
#include "platform/linux/LinuxWallpaper.h"

namespace veska {

LinuxPlatform::LinuxPlatform()
    : lock_(std::make_unique<LinuxLock>()),
      tray_(std::make_unique<LinuxTray>(&menuRequest_)),
      desktop_(std::make_unique<LinuxDesktop>(&menuRequest_)),
      files_(std::make_unique<LinuxFiles>()),
      paths_(std::make_unique<LinuxPaths>()),
      shell_(std::make_unique<LinuxShell>()),
      sound_(std::make_unique<LinuxSound>()),
      wallpaper_(std::make_unique<LinuxWallpaper>(desktop_.get())),
      recent_(std::make_unique<LinuxRecent>()),
      system_(std::make_unique<LinuxSystem>()),
      clock_(std::make_unique<LinuxClock>()),
      dialogs_(std::make_unique<LinuxFileDialogs>()) {
    platform_.lock = lock_.get();
    platform_.tray = tray_.get();
    platform_.desktop = desktop_.get();
    platform_.files = files_.get();
    platform_.paths = paths_.get();
    platform_.shell = shell_.get();
    platform_.sound = sound_.get();
    platform_.wallpaper = wallpaper_.get();
    platform_.recent = recent_.get();
    platform_.system = system_.get();
    platform_.clock = clock_.get();
    platform_.dialogs = dialogs_.get();
}

LinuxPlatform::~LinuxPlatform() = default;

}  // namespace veska
