// A tray host opening Veska's menu: AboutToShow on the root (the launch menu's check runs and
// the host's copy is taken again) and GetLayout of the whole menu, with full lists, over a
// private session bus from a connection of the host's own. Aim: the pair under 20 ms, as a
// host waits for it before it draws the menu.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QMutex>
#include <QProcess>
#include <QThread>
#include <functional>
#include <memory>

#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/tray/LinuxTray.h"
#include "platform/linux/tray/StatusNotifierItem.h"
#include "support/FullStores.h"

using namespace veska;

namespace {

// The watcher of a host that takes every item, answering on a thread of its own.
class Watcher : public QDBusVirtualObject {
public:
    QString Item() {
        QMutexLocker lock(&mutex_);
        return item_;
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QDBusMessage reply = message.createReply();
        if (message.member() == QLatin1String("RegisterStatusNotifierItem")) {
            QMutexLocker lock(&mutex_);
            item_ = message.arguments().value(0).toString();
        } else if (message.member() == QLatin1String("Get")) {
            const QString property = message.arguments().value(1).toString();
            reply << QVariant::fromValue(QDBusVariant(property == QLatin1String("IsStatusNotifierHostRegistered")
                                                          ? QVariant(true)
                                                          : QVariant(QStringList{Item()})));
        }
        return connection.send(reply);
    }

private:
    QMutex mutex_;
    QString item_;
};

struct HostedMenu {
    QProcess bus;
    QThread thread;
    Watcher watcher;
    MenuRequest requests;
    LinuxDesktop desktop{&requests};
    std::unique_ptr<LinuxTray> tray;
    std::unique_ptr<bench::FullStores> stores;
    QString item;

    // Empty when ready, else why not.
    QString Start() {
        bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!bus.waitForReadyRead(10000)) return "dbus-daemon did not start";
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
        watcher.moveToThread(&thread);
        thread.start();
        bool owned = false;
        QMetaObject::invokeMethod(
            &watcher,
            [&] {
                QDBusConnection c = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "watcher");
                owned = c.registerVirtualObject("/StatusNotifierWatcher", &watcher) &&
                        c.registerService(StatusNotifierItem::WatcherService);
            },
            Qt::BlockingQueuedConnection);
        if (!owned) return "the watcher could not take its name";
        tray = std::make_unique<LinuxTray>(&requests, LinuxTray::Options{[] { return false; }, true, 2000, 1000});
        stores = std::make_unique<bench::FullStores>([this](Platform& p) {
            p.tray = tray.get();
            p.desktop = &desktop;
        });
        QDeadlineTimer deadline(10000);
        while ((item = watcher.Item()).isEmpty() && !deadline.hasExpired()) QCoreApplication::processEvents();
        return item.isEmpty() ? "the item did not register" : QString();
    }
    ~HostedMenu() {
        stores.reset();
        tray.reset();
        QMetaObject::invokeMethod(&watcher, [] { QDBusConnection::disconnectFromBus("watcher"); },
                                  Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
        bus.kill();
        bus.waitForFinished();
    }
};

// Ended with the application, which its objects need.
HostedMenu& hosted() {
    static std::unique_ptr<HostedMenu> h;
    if (!h) {
        h = std::make_unique<HostedMenu>();
        qAddPostRoutine([] { h.reset(); });
    }
    return *h;
}

int nodesIn(const QDBusArgument& layout) {
    MenuNode root;
    layout >> root;
    int count = 1;
    std::function<void(const MenuNode&)> add = [&](const MenuNode& n) {
        for (const MenuNode& c : n.children) {
            ++count;
            add(c);
        }
    };
    add(root);
    return count;
}

void BM_HostOpensTheMenu(benchmark::State& state) {
    HostedMenu& h = hosted();
    static const QString failed = h.Start();
    if (!failed.isEmpty()) return state.SkipWithError(qPrintable(failed));
    QDBusConnection host = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "host");
    auto call = [&](const char* method) {
        return QDBusMessage::createMethodCall(h.item, "/MenuBar", "com.canonical.dbusmenu", method);
    };
    int nodes = 0;
    for (auto _ : state) {
        // The wait runs Veska's loop, which answers.
        const QDBusMessage shown = host.call(call("AboutToShow") << 0, QDBus::BlockWithGui);
        const QDBusMessage layout =
            host.call(call("GetLayout") << 0 << -1 << QStringList(), QDBus::BlockWithGui);
        if (shown.type() != QDBusMessage::ReplyMessage || layout.type() != QDBusMessage::ReplyMessage)
            return state.SkipWithError(qPrintable(shown.errorMessage() + layout.errorMessage()));
        nodes = nodesIn(layout.arguments().value(1).value<QDBusArgument>());
    }
    // The launch menu, its wallpaper submenu, a line and the command menu, or the figure lies.
    if (nodes != 1 + bench::Launch + 2 + bench::Walls + 1 + 2) state.SkipWithError("the menu was not exported in full");
    state.counters["nodes"] = nodes;
}
BENCHMARK(BM_HostOpensTheMenu)->Unit(benchmark::kMillisecond);

}  // namespace
