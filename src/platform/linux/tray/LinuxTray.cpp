#include "platform/linux/tray/LinuxTray.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDBusServiceWatcher>
#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QIcon>
#include <QPixmap>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/linux/Activation.h"
#include "platform/linux/DesktopWallpaper.h"
#include "platform/linux/tray/StatusNotifierItem.h"
#include "text/Codec.h"

namespace veska {

namespace {

bool singleMenuSession() {
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':');
    if (desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive)) return true;
    return CurrentDesktop().wayland;
}

uint32_t pressOf(uint32_t button) { return button; }
uint32_t releaseOf(uint32_t press) { return press + 1; }  // each button's release follows its press

// Any window of ours that opens or closes may have changed what the menus hold (the properties
// command is disabled while its dialog is open): the host's copy is taken again.
class WindowWatch : public QObject {
public:
    explicit WindowWatch(std::function<void(QWidget*, bool shown)> changed) : changed_(std::move(changed)) {}
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
            auto* w = qobject_cast<QWidget*>(object);
            if (w && w->isWindow() && w->windowType() != Qt::Popup && w->windowType() != Qt::ToolTip)
                changed_(w, event->type() == QEvent::Show);
        }
        return false;
    }

private:
    std::function<void(QWidget*, bool)> changed_;
};

bool isRefusal(const QString& error) {
    // These say that nobody answered, not that a host said no.
    for (const char* gone : {"org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
                             "org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.Disconnected",
                             "org.freedesktop.DBus.Error.Timeout", "org.freedesktop.DBus.Error.TimedOut"})
        if (error.startsWith(QLatin1String(gone))) return false;
    return true;
}

}  // namespace

LinuxTray::LinuxTray(MenuRequest* requests, Options options)
    : requests_(requests), options_(std::move(options)), singleMenu_(options_.singleMenu.value_or(singleMenuSession())) {
    poll_.setInterval(options_.pollMs);
    QObject::connect(&poll_, &QTimer::timeout, &queue_, [this] { Poll(); });
    recapture_.setSingleShot(true);
    recapture_.setInterval(0);
    QObject::connect(&recapture_, &QTimer::timeout, &queue_, [this] {
        std::vector<uint32_t> ids;
        for (auto& [uID, entry] : icons_) ids.push_back(uID);
        for (uint32_t uID : ids) Capture(uID);
    });
    if (qApp && requests_) {
        windowWatch_ = std::make_unique<WindowWatch>([this](QWidget* window, bool shown) {
            if (shown && !running_.empty()) running_.back().windows.emplace_back(window);
            CaptureSoon();
        });
        qApp->installEventFilter(windowWatch_.get());
    }
    if (requests_) menuWatch_ = std::make_unique<TMenuWatch>([this] {
        if (!capturing_) CaptureSoon();
    });
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        watcher_ = new QDBusServiceWatcher(StatusNotifierItem::WatcherService, bus,
                                           QDBusServiceWatcher::WatchForOwnerChange, &queue_);
        // A host that replaces another (gnome-shell --replace) takes the name over with no gap.
        QObject::connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, &queue_, [this] { WatcherChanged(); });
    }
}

LinuxTray::~LinuxTray() {
    if (windowWatch_ && qApp) qApp->removeEventFilter(windowWatch_.get());
}

uint32_t LinuxTray::CreateCallbackWindow(WindowProc proc) {
    uint32_t h = nextWindow_++;
    windows_[h] = std::move(proc);
    return h;
}

void LinuxTray::DestroyCallbackWindow(uint32_t hWnd) { windows_.erase(hWnd); }

bool LinuxTray::WatcherPresent() const {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusConnectionInterface* names = bus.interface();
    return names && names->isServiceRegistered(StatusNotifierItem::WatcherService);
}

// Qt makes a tray icon created while a StatusNotifierWatcher is on the bus an item of its own
// (6.8 for every icon, 6.4 at its first look), registered under our connection's name, which a
// host then shows beside ours and, the name staying, long after the icon is deleted. So an
// XEmbed icon is made only while no watcher runs.
bool LinuxTray::XEmbedAvailable() const {
    if (WatcherPresent()) return false;
    return options_.xembedAvailable ? options_.xembedAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

bool LinuxTray::ShellNotifyIcon(uint32_t message, const NotifyIconData& data, const QImage* image) {
    auto it = icons_.find(data.uID);
    switch (message) {
    case NIM_ADD: {
        if (it != icons_.end()) return false;
        Entry& entry = icons_[data.uID];
        Update(entry, data, image);
        Dock(data.uID, entry);
        return true;
    }
    case NIM_MODIFY:
        if (it == icons_.end()) return false;
        Update(it->second, data, image);
        Show(it->second);
        return true;
    case NIM_DELETE:
        if (it == icons_.end()) return false;
        if (it->second.xembed) it->second.xembed->hide();
        icons_.erase(it);
        return true;
    default:
        return false;
    }
}

// The icon goes to the watcher's host once it answers, else to an XEmbed tray; with neither
// (the panel usually starts after us at login) it waits for one.
void LinuxTray::Dock(uint32_t uID, Entry& entry) {
    if (WatcherPresent()) {
        KeepPolling();
        CheckHost();
    } else if (XEmbedAvailable()) {
        UseXEmbed(uID, entry);
    } else {
        KeepPolling();
    }
}

void LinuxTray::Update(Entry& entry, const NotifyIconData& data, const QImage* image) {
    if (data.uFlags & NIF_MESSAGE) {
        entry.hWnd = data.hWnd;
        entry.callbackMessage = data.uCallbackMessage;
    }
    if (data.uFlags & NIF_ICON) entry.image = image ? *image : QImage();
    if (data.uFlags & NIF_TIP) {
        Bytes tip(data.szTip, strnlen(data.szTip, sizeof data.szTip));
        entry.tip = QString::fromStdString(toUtf8(tip));
    }
}

// Hands the entry's picture and tooltip to whatever shows it.
void LinuxTray::Show(Entry& entry) {
    if (entry.xembed) {
        entry.xembed->setIcon(entry.image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(entry.image)));
        entry.xembed->setToolTip(entry.tip);
    }
    if (entry.item) {
        entry.item->SetIcon(entry.image);
        entry.item->SetToolTip(entry.tip);
    }
}

void LinuxTray::UseItem(uint32_t uID, Entry& entry) {
    entry.xembed.reset();
    DbusMenu::Handlers handlers{[this, uID](int id) { HostAboutToShow(uID, id); },
                                [this, uID](int id, uint timestamp) { HostClicked(uID, id, timestamp); }};
    entry.item = std::make_unique<StatusNotifierItem>(uID, std::move(handlers));
    entry.item->SetItemIsMenu(singleMenu_);
    entry.menus.parts.clear();
    if (singleMenu_) entry.menus.parts.push_back({WM_LBUTTONDOWN, {}, {}});
    entry.menus.parts.push_back({WM_RBUTTONDOWN, {}, {}});
    StatusNotifierItem* item = entry.item.get();
    // A click the host leaves to us: the primary one pops the left button's menu, the context
    // one the right button's; the secondary one (the middle button) is the middle button.
    QObject::connect(item, &StatusNotifierItem::Activate, &queue_, [this, uID] { Post(uID, {WM_LBUTTONDOWN, WM_LBUTTONUP}); });
    QObject::connect(item, &StatusNotifierItem::ContextMenu, &queue_, [this, uID] { Post(uID, {WM_RBUTTONDOWN, WM_RBUTTONUP}); });
    QObject::connect(item, &StatusNotifierItem::SecondaryActivate, &queue_,
                     [this, uID] { Post(uID, {WM_MBUTTONDOWN, WM_MBUTTONUP}); });
    Show(entry);
}

void LinuxTray::UseXEmbed(uint32_t uID, Entry& entry) {
    entry.item.reset();
    entry.registeredIn = 0;
    entry.xembed = std::make_unique<QSystemTrayIcon>();
    QObject::connect(entry.xembed.get(), &QSystemTrayIcon::activated, &queue_,
                     [this, uID](QSystemTrayIcon::ActivationReason reason) { Post(uID, MouseMessagesFor(reason)); });
    Show(entry);
    entry.xembed->show();
}

bool LinuxTray::WaitsForHost(const Entry& entry) const {
    return entry.registeredIn != generation_ && entry.refusedIn != generation_;
}

// One check out at a time, unless it has gone unanswered too long.
void LinuxTray::CheckHost() {
    if (hostCheck_.isValid() && !hostCheck_.hasExpired(options_.registerTimeoutMs)) return;
    hostCheck_.start();
    QDBusMessage get = QDBusMessage::createMethodCall(StatusNotifierItem::WatcherService, "/StatusNotifierWatcher",
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << QString::fromLatin1(StatusNotifierItem::WatcherService) << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), &queue_);
    QObject::connect(call, &QDBusPendingCallWatcher::finished, &queue_, [this, generation = generation_](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (generation != generation_) return;
        hostCheck_.invalidate();
        QDBusPendingReply<QDBusVariant> reply = *w;
        if (!reply.isError() && reply.value().variant().toBool()) return HostFound();
        KeepPolling();  // no host yet, or no answer: asked again at the poll
    });
}

void LinuxTray::HostFound() {
    for (auto& [uID, entry] : icons_)
        if (WaitsForHost(entry)) Register(uID, entry);
    CaptureSoon();
}

// One registration out at a time, however long it takes: GNOME's extension makes the icon anew
// for each, and a click meanwhile may find nothing to open.
void LinuxTray::Register(uint32_t uID, Entry& entry) {
    if (!entry.item || !entry.item->Connected()) {
        UseItem(uID, entry);
        entry.registering = false;
    }
    if (std::exchange(entry.registering, true)) return;
    StatusNotifierItem* item = entry.item.get();
    item->Register([this, uID, item, generation = generation_](const QString& error) {
        auto it = icons_.find(uID);
        if (generation != generation_ || it == icons_.end() || it->second.item.get() != item) return;
        Entry& entry = it->second;
        entry.registering = false;
        if (error.isEmpty()) {
            entry.registeredIn = generation;
        } else if (entry.registeredIn != generation && isRefusal(error)) {
            // Not a tray for us: the icon waits for the next watcher, or for the XEmbed tray
            // once this one leaves.
            std::fprintf(stderr, "veska: the tray host refused the icon: %s\n", qPrintable(error));
            entry.refusedIn = generation;
        } else if (entry.registeredIn != generation) {
            KeepPolling();  // nobody answered: sent again once the watcher answers the poll
        }
    });
}

// A new owner of the watcher's name (or none): what the last one answered no longer holds.
void LinuxTray::WatcherChanged() {
    ++generation_;
    hostCheck_.invalidate();
    for (auto& [uID, entry] : icons_) entry.registering = false;
    KeepPolling();
    Poll();
}

void LinuxTray::KeepPolling() {
    if (!poll_.isActive()) poll_.start();
}

// While an icon waits: a watcher's host, or an XEmbed tray once no watcher is left, takes it.
void LinuxTray::Poll() {
    if (WatcherPresent()) {
        bool waiting = false;
        for (auto& [uID, entry] : icons_) waiting = waiting || WaitsForHost(entry);
        if (waiting)
            CheckHost();
        else
            poll_.stop();
        return;
    }
    bool waiting = false;
    for (auto& [uID, entry] : icons_) waiting = waiting || !entry.xembed;
    if (waiting && XEmbedAvailable()) {
        for (auto& [uID, entry] : icons_)
            if (!entry.xembed) UseXEmbed(uID, entry);
        waiting = false;
    }
    if (!waiting) poll_.stop();
}

QSystemTrayIcon* LinuxTray::IconOf(uint32_t uID) const {
    auto it = icons_.find(uID);
    return it == icons_.end() ? nullptr : it->second.xembed.get();
}

StatusNotifierItem* LinuxTray::ItemOf(uint32_t uID) const {
    auto it = icons_.find(uID);
    return it == icons_.end() ? nullptr : it->second.item.get();
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

// Posted, never delivered from the signal: the handler may pop a menu or delete this very icon.
void LinuxTray::Post(uint32_t uID, std::vector<uint32_t> mice) {
    auto it = icons_.find(uID);
    if (it == icons_.end() || it->second.callbackMessage == 0) return;
    uint32_t hWnd = it->second.hWnd, callback = it->second.callbackMessage;
    for (uint32_t mouse : mice)
        QMetaObject::invokeMethod(
            &queue_, [this, hWnd, callback, uID, mouse] { Deliver(hWnd, callback, uID, mouse); }, Qt::QueuedConnection);
    // What the click did may have changed the menus the host holds.
    QMetaObject::invokeMethod(&queue_, [this] { CaptureSoon(); }, Qt::QueuedConnection);
}

void LinuxTray::Deliver(uint32_t hWnd, uint32_t message, uint32_t wParam, uint32_t lParam) {
    auto it = windows_.find(hWnd);
    if (it == windows_.end()) return;
    WindowProc proc = it->second;  // the window may be destroyed while its procedure runs
    proc(message, wParam, lParam);
}

void LinuxTray::CaptureSoon() {
    if (!recapture_.isActive()) recapture_.start();
}

void LinuxTray::Capture(uint32_t uID) {
    auto it = icons_.find(uID);
    if (!requests_ || it == icons_.end() || !it->second.item || it->second.callbackMessage == 0) return;
    const uint32_t hWnd = it->second.hWnd, callback = it->second.callbackMessage;
    // The pop-up checks may touch the menus: that is what is being taken, not news.
    const bool wasCapturing = std::exchange(capturing_, true);
    struct Restore {
        bool& flag;
        bool was;
        ~Restore() { flag = was; }
    } restore{capturing_, wasCapturing};
    const std::size_t count = it->second.menus.parts.size();
    for (std::size_t s = 0; s < count; ++s) {
        const uint32_t press = it->second.menus.parts[s].button;
        const MenuRequest saved = *requests_;
        *requests_ = MenuRequest{MenuRequest::Mode::Capture, {}, {}, nullptr};
        Deliver(hWnd, callback, uID, pressOf(press));
        MenuRequest captured = *requests_;
        *requests_ = saved;
        // The press may have removed the icon.
        it = icons_.find(uID);
        if (it == icons_.end() || !it->second.item || s >= it->second.menus.parts.size()) return;
        it->second.menus.parts[s].menu = captured.menu;
        it->second.menus.parts[s].onSubmenuOpen = captured.onSubmenuOpen;
    }
    it->second.item->Menu().SetLayout(it->second.menus.Build());
}

void LinuxTray::HostAboutToShow(uint32_t uID, int id) {
    if (id == 0) return Capture(uID);
    auto it = icons_.find(uID);
    if (it == icons_.end() || !it->second.item) return;
    std::optional<HostMenuLayout::Hit> hit = it->second.menus.Find(id);
    if (!hit || hit->item->Count() == 0) return;
    // A submenu is filled as it opens, as the program's own menus are.
    auto open = it->second.menus.parts[hit->slot].onSubmenuOpen;
    if (open) open(*hit->item);
    it = icons_.find(uID);
    if (it == icons_.end() || !it->second.item) return;
    it->second.item->Menu().SetLayout(it->second.menus.Build());
}

void LinuxTray::HostClicked(uint32_t uID, int id, uint timestamp) {
    auto it = icons_.find(uID);
    if (!requests_ || it == icons_.end() || !it->second.item) return;
    const QString token = it->second.item->TakeActivationToken();
    // The chosen entry runs after the host has its answer, as if chosen in the icon's own
    // pop-up: the press pops the menu again (its check runs as before it shows), and the pop-up
    // returns the entry, if it still stands and is enabled.
    QMetaObject::invokeMethod(
        &queue_,
        [this, uID, id, timestamp, token] {
            auto it = icons_.find(uID);
            if (it == icons_.end()) return;
            // Clicked again while its window is open (a double click, a host repeating itself):
            // that window comes to the front, and no second one opens inside the first.
            for (const Run& run : running_)
                if (run.uID == uID && run.id == id) return Raise(run, token, timestamp);
            std::optional<HostMenuLayout::Hit> hit = it->second.menus.Find(id);
            if (!hit || hit->item->Count() > 0) return;
            running_.push_back({uID, id, {}});
            struct Ran {
                std::vector<Run>& running;
                ~Ran() { running.pop_back(); }
            } ran{running_};
            const uint32_t press = it->second.menus.parts[hit->slot].button;
            const uint32_t hWnd = it->second.hWnd, callback = it->second.callbackMessage;
            const MenuRequest saved = *requests_;
            *requests_ = MenuRequest{MenuRequest::Mode::Answer, {}, {}, hit->item};
            GrantActivation(token, timestamp);
            Deliver(hWnd, callback, uID, pressOf(press));
            EndActivation();
            *requests_ = saved;
            Deliver(hWnd, callback, uID, releaseOf(press));
            CaptureSoon();
        },
        Qt::QueuedConnection);
}

void LinuxTray::Raise(const Run& run, const QString& token, uint timestamp) {
    GrantActivation(token, timestamp);
    for (const QPointer<QWidget>& window : run.windows)
        if (window && window->isVisible()) {
            window->raise();
            window->activateWindow();
        }
    EndActivation();
}

}  // namespace veska
