#include "platform/linux/LinuxTray.h"

#include <QDeadlineTimer>
#include <QIcon>
#include <QPixmap>
#include <QThread>
#include <cstring>

#include "text/Codec.h"

namespace veska {

LinuxTray::LinuxTray(std::chrono::milliseconds waitForTray, std::function<bool()> trayAvailable)
    : waitForTray_(waitForTray), trayAvailable_(std::move(trayAvailable)) {}

LinuxTray::~LinuxTray() = default;

uint32_t LinuxTray::CreateCallbackWindow(WindowProc proc) {
    uint32_t h = nextWindow_++;
    windows_[h] = std::move(proc);
    return h;
}

void LinuxTray::DestroyCallbackWindow(uint32_t hWnd) { windows_.erase(hWnd); }

// The first add waits a little, without running the event loop (the resident form is still
// being built then); later adds do not wait, so hiding and showing never freezes the program.
bool LinuxTray::TrayAvailable() {
    auto available = [this] { return trayAvailable_ ? trayAvailable_() : QSystemTrayIcon::isSystemTrayAvailable(); };
    if (available()) return true;
    if (waited_) return false;
    waited_ = true;
    QDeadlineTimer deadline(waitForTray_);
    while (!deadline.hasExpired()) {
        QThread::msleep(100);
        if (available()) return true;
    }
    return false;
}

bool LinuxTray::ShellNotifyIcon(uint32_t message, const NotifyIconData& data, const QImage* image) {
    auto it = icons_.find(data.uID);
    switch (message) {
    case NIM_ADD: {
        if (it != icons_.end() || !TrayAvailable()) return false;
        Entry& entry = icons_[data.uID];
        entry.icon = std::make_unique<QSystemTrayIcon>();
        uint32_t uID = data.uID;
        QObject::connect(entry.icon.get(), &QSystemTrayIcon::activated, &queue_,
                         [this, uID](QSystemTrayIcon::ActivationReason reason) { Activated(uID, reason); });
        Update(entry, data, image);
        entry.icon->show();
        return true;
    }
    case NIM_MODIFY:
        if (it == icons_.end()) return false;
        Update(it->second, data, image);
        return true;
    case NIM_DELETE:
        if (it == icons_.end()) return false;
        it->second.icon->hide();
        icons_.erase(it);
        return true;
    default:
        return false;
    }
}

void LinuxTray::Update(Entry& entry, const NotifyIconData& data, const QImage* image) {
    if (data.uFlags & NIF_MESSAGE) {
        entry.hWnd = data.hWnd;
        entry.callbackMessage = data.uCallbackMessage;
    }
    if (data.uFlags & NIF_ICON) entry.icon->setIcon(image && !image->isNull() ? QIcon(QPixmap::fromImage(*image)) : QIcon());
    if (data.uFlags & NIF_TIP) {
        Bytes tip(data.szTip, strnlen(data.szTip, sizeof data.szTip));
        entry.icon->setToolTip(QString::fromStdString(toUtf8(tip)));
    }
}

QSystemTrayIcon* LinuxTray::IconOf(uint32_t uID) const {
    auto it = icons_.find(uID);
    return it == icons_.end() ? nullptr : it->second.icon.get();
}

std::vector<uint32_t> LinuxTray::MouseMessagesFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return {WM_LBUTTONDOWN, WM_LBUTTONUP};
    case QSystemTrayIcon::Context:
        return {WM_RBUTTONDOWN, WM_RBUTTONUP};
    case QSystemTrayIcon::MiddleClick:
        return {WM_MBUTTONDOWN, WM_MBUTTONUP};
    case QSystemTrayIcon::DoubleClick:
        // The second click of a double click: the shell reports it, then its release.
        return {WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    default:
        return {};
    }
}

// Posted, never called from the signal: the handler may pop a menu or delete this very icon.
void LinuxTray::Activated(uint32_t uID, QSystemTrayIcon::ActivationReason reason) {
    auto it = icons_.find(uID);
    if (it == icons_.end() || it->second.callbackMessage == 0) return;
    uint32_t hWnd = it->second.hWnd, callback = it->second.callbackMessage;
    for (uint32_t mouse : MouseMessagesFor(reason))
        QMetaObject::invokeMethod(
            &queue_, [this, hWnd, callback, uID, mouse] { Deliver(hWnd, callback, uID, mouse); }, Qt::QueuedConnection);
}

void LinuxTray::Deliver(uint32_t hWnd, uint32_t message, uint32_t wParam, uint32_t lParam) {
    auto it = windows_.find(hWnd);
    if (it == windows_.end()) return;
    WindowProc proc = it->second;  // the window may be destroyed while its procedure runs
    proc(message, wParam, lParam);
}

}  // namespace veska
