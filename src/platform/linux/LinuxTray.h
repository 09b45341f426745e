// The notification area on Linux: one QSystemTrayIcon per registered identifier. Its
// activations are posted to the callback window as the shell's callback message with the
// matching mouse messages (press, then release), through Qt's event queue.
#pragma once
#include <QObject>
#include <QSystemTrayIcon>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include "platform/Platform.h"

namespace veska {

class LinuxTray : public ITrayShell {
public:
    // waitForTray: how long the first add of the process waits for a tray to appear (a tray
    // host started together with us may not have claimed the tray yet). trayAvailable replaces
    // Qt's own check, for tests.
    explicit LinuxTray(std::chrono::milliseconds waitForTray = std::chrono::seconds(5),
                       std::function<bool()> trayAvailable = {});
    ~LinuxTray() override;

    uint32_t CreateCallbackWindow(WindowProc proc) override;
    void DestroyCallbackWindow(uint32_t hWnd) override;
    bool ShellNotifyIcon(uint32_t message, const NotifyIconData& data, const QImage* image) override;

    // The Qt icon standing for an identifier; null when it is not registered.
    QSystemTrayIcon* IconOf(uint32_t uID) const;
    // The mouse messages that one activation stands for, in the order they are posted.
    static std::vector<uint32_t> MouseMessagesFor(QSystemTrayIcon::ActivationReason reason);

private:
    struct Entry {
        std::unique_ptr<QSystemTrayIcon> icon;
        uint32_t hWnd = 0;
        uint32_t callbackMessage = 0;
    };
    bool TrayAvailable();
    void Update(Entry& entry, const NotifyIconData& data, const QImage* image);
    void Activated(uint32_t uID, QSystemTrayIcon::ActivationReason reason);
    void Deliver(uint32_t hWnd, uint32_t message, uint32_t wParam, uint32_t lParam);

    QObject queue_;  // posted messages go through the event loop on this object
    std::map<uint32_t, WindowProc> windows_;
    std::map<uint32_t, Entry> icons_;
    uint32_t nextWindow_ = 1;
    std::chrono::milliseconds waitForTray_;
    bool waited_ = false;
    std::function<bool()> trayAvailable_;
};

}  // namespace veska
