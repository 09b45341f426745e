// The real platform: one Linux implementation of each interface, owned here.
#pragma once
#include <memory>

#include "platform/Platform.h"
#include "platform/linux/tray/HostMenu.h"

namespace veska {

class LinuxPlatform {
public:
    LinuxPlatform();
    ~LinuxPlatform();
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    Platform& platform() { return platform_; }

private:
    MenuRequest menuRequest_;  // between the tray and the pop-ups, for menus a tray host draws
    std::unique_ptr<IInstanceLock> lock_;
    std::unique_ptr<ITrayShell> tray_;
    std::unique_ptr<IDesktop> desktop_;
    std::unique_ptr<IFiles> files_;
    std::unique_ptr<IPaths> paths_;
    std::unique_ptr<IShell> shell_;
    std::unique_ptr<ISound> sound_;
    std::unique_ptr<IWallpaper> wallpaper_;
    std::unique_ptr<IRecentDocs> recent_;
    std::unique_ptr<ISystemInfo> system_;
    std::unique_ptr<IClock> clock_;
    std::unique_ptr<IFileDialogs> dialogs_;
    Platform platform_;
};

}  // namespace veska
