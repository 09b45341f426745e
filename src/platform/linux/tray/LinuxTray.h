// The notification area on Linux. Where a StatusNotifierItem host runs, each icon is an item of
// ours on the session bus, and its menus are handed to the host to draw where the host insists;
// elsewhere the icon is Qt's XEmbed tray icon. An icon added while no tray of either kind is
// there (no host behind the watcher, no session bus at all) waits for one, and moves to
// whichever appears or comes back later. Nothing here waits for the watcher's answers: a slow
// or hung panel never keeps the item and its menu from answering their own callers.
// The host's clicks are posted to the callback window as the shell's callback message with the
// matching mouse messages (press, then release), through Qt's event queue.
#pragma once
#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Platform.h"
#include "platform/linux/tray/HostMenu.h"

class QDBusServiceWatcher;
class QWidget;

namespace veska {

class StatusNotifierItem;

class LinuxTray : public ITrayShell {
public:
    struct Options {
        // Whether an XEmbed tray is there; Qt's own check by default.
        std::function<bool()> xembedAvailable;
        // Whether the host draws one menu holding both buttons' menus: on GNOME, whose extension
        // gives every single click to its menu, and on Wayland, where no program may place its
        // own pop-up at the icon. Read from the session by default.
        std::optional<bool> singleMenu;
        // A host check unanswered this long is sent again at the next poll; the earlier one's
        // late answer still counts.
        int registerTimeoutMs = 5000;
        int pollMs = 1000;  // how often an icon without a tray looks for one
    };
    // requests: shared with the desktop's TrackPopupMenu (none: hosts get no menus).
    LinuxTray(MenuRequest* requests, Options options);
    explicit LinuxTray(MenuRequest* requests = nullptr) : LinuxTray(requests, Options()) {}
    ~LinuxTray() override;

    uint32_t CreateCallbackWindow(WindowProc proc) override;
    void DestroyCallbackWindow(uint32_t hWnd) override;
    bool ShellNotifyIcon(uint32_t message, const NotifyIconData& data, const QImage* image) override;

    // What stands for an identifier; null when it is not registered that way.
    QSystemTrayIcon* IconOf(uint32_t uID) const;
    StatusNotifierItem* ItemOf(uint32_t uID) const;
    // The mouse messages that one activation stands for, in the order they are posted.
    static std::vector<uint32_t> MouseMessagesFor(QSystemTrayIcon::ActivationReason reason);

private:
    struct Entry {
        std::unique_ptr<QSystemTrayIcon> xembed;
        std::unique_ptr<StatusNotifierItem> item;
        uint32_t hWnd = 0;
        uint32_t callbackMessage = 0;
        QImage image;
        QString tip;
        HostMenuLayout menus;
        // The watcher's generation that took the item, or refused it.
        uint64_t registeredIn = 0;
        uint64_t refusedIn = 0;
        bool registering = false;
    };
    bool WatcherPresent() const;
    bool XEmbedAvailable() const;
    bool WaitsForHost(const Entry& entry) const;
    void Update(Entry& entry, const NotifyIconData& data, const QImage* image);
    void Show(Entry& entry);
    void Dock(uint32_t uID, Entry& entry);
    void UseItem(uint32_t uID, Entry& entry);
    void UseXEmbed(uint32_t uID, Entry& entry);
    // A watcher whose host is gone, or that runs outside its desktop, is no tray: its host is
    // asked for, and the answer, when it comes, registers the waiting icons.
    void CheckHost();
    void HostFound();
    void Register(uint32_t uID, Entry& entry);
    void WatcherChanged();
    void KeepPolling();
    void Poll();

    void Post(uint32_t uID, std::vector<uint32_t> mice);
    void Deliver(uint32_t hWnd, uint32_t message, uint32_t wParam, uint32_t lParam);
    // Fills the host's menu from the pop-ups the icon's buttons would show now.
    void Capture(uint32_t uID);
    // Every host menu again, soon: something may have changed what they show.
    void CaptureSoon();
    void HostAboutToShow(uint32_t uID, int id);
    void HostClicked(uint32_t uID, int id, uint timestamp);

    // An entry a host's click set running, whose handler has not returned yet (its window is
    // open), with the windows it opened.
    struct Run {
        uint32_t uID;
        int id;
        std::vector<QPointer<QWidget>> windows;
    };
    static void Raise(const Run& run, const QString& token, uint timestamp);

    MenuRequest* requests_;
    Options options_;
    bool singleMenu_;
    QObject queue_;  // posted messages go through the event loop on this object
    QTimer poll_;
    QTimer recapture_;
    std::unique_ptr<QObject> windowWatch_;
    std::unique_ptr<TMenuWatch> menuWatch_;
    bool capturing_ = false;
    std::vector<Run> running_;  // innermost last
    QDBusServiceWatcher* watcher_ = nullptr;
    // Counts the watcher's owners: an answer from one since replaced is stale.
    uint64_t generation_ = 1;
    QElapsedTimer hostCheck_;  // since the unanswered host check went out
    std::map<uint32_t, WindowProc> windows_;
    std::map<uint32_t, Entry> icons_;
    uint32_t nextWindow_ = 1;
};

}  // namespace veska
