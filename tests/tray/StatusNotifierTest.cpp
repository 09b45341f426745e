// The tray icon as a StatusNotifierItem, against a stand-in host on a private session bus: the
// host may come later or restart, draws the exported menus, and its choices reach the entries.
#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <list>
#include <optional>

#include "TrayFixture.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/tray/LinuxTray.h"
#include "platform/linux/tray/StatusNotifierItem.h"
#include "vcl/Exception.h"

namespace veska {

// The watcher half of a host: it records the items that register, or refuses them. It answers
// on a thread and connection of its own, as a host in another process would, so that an item's
// blocking registration call gets its answer.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ Registered)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)
public:
    bool HostRegistered() { return host; }
    std::atomic<bool> host = true;
    QStringList Registered() {
        QMutexLocker lock(&mutex);
        return registered;
    }
    void Clear() {
        QMutexLocker lock(&mutex);
        registered.clear();
    }
    std::atomic<bool> refuse = false;
public slots:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message) {
        if (refuse) {
            message.setDelayedReply(true);
            QDBusConnection(BusName).send(message.createErrorReply(QDBusError::AccessDenied, "no icons here"));
            return;
        }
        QMutexLocker lock(&mutex);
        registered.append(service);
    }
    void Start() {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, BusName);
        bus.registerObject("/StatusNotifierWatcher", this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
        bus.registerService("org.kde.StatusNotifierWatcher");
    }
    void Stop() {
        QDBusConnection::disconnectFromBus(BusName);
    }

private:
    static constexpr const char* BusName = "fake-watcher";
    QMutex mutex;
    QStringList registered;
};

namespace {

// One private bus for the whole test program, set up before anything opens the session bus,
// and ended with it.
QProcess* busDaemon = nullptr;

bool privateBus() {
    if (!busDaemon) {
        busDaemon = new QProcess;
        busDaemon->start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!busDaemon->waitForReadyRead(10000)) return false;
        qputenv("DBUS_SESSION_BUS_ADDRESS", busDaemon->readLine().trimmed());
    }
    return busDaemon->state() == QProcess::Running;
}

struct BusEnvironment : ::testing::Environment {
    void SetUp() override { privateBus(); }
    void TearDown() override {
        if (!busDaemon) return;
        busDaemon->kill();
        busDaemon->waitForFinished();
        delete busDaemon;
        busDaemon = nullptr;
    }
};
const auto* busEnvironment = ::testing::AddGlobalTestEnvironment(new BusEnvironment);

template <class F>
bool WaitUntil(F done) {
    QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class StatusNotifierTest : public TrayFixture {
protected:
    void SetUp() override {
        TrayFixture::SetUp();
        ASSERT_TRUE(privateBus()) << "dbus-daemon is needed";
        watcher.moveToThread(&watcherThread);
        watcherThread.start();
        sp.platform().desktop = &desktop;
        command.Items()->Add(Item(command, "Veska のプロパティ(&R)...", "properties"));
        command.Items()->Add(Item(command, "Veska の終了(&X)", "exit"));
        launch.Items()->Add(Item(launch, "エディタ_1", "editor"));
        launch.OnPopup = [this](TObject*) { chosen.push_back("launch checked"); };
    }
    void TearDown() override {
        form.reset();
        StopHost();
        watcherThread.quit();
        watcherThread.wait();
    }
    TMenuItem* Item(TPopupMenu& menu, const char* caption, std::string name) {
        auto* item = new TMenuItem(&menu);
        item->Caption = sj(caption);
        item->OnClick = [this, name](TObject*) { chosen.push_back(name); };
        return item;
    }
    // The trays outlive the form, whose icons take themselves off their tray as they go.
    LinuxTray& Tray(std::optional<bool> singleMenu) {
        return trays.emplace_back(&requests, LinuxTray::Options{[] { return false; }, singleMenu, 2000, 1000});
    }
    TTrayIcon* IconOn(LinuxTray& tray) {
        sp.platform().tray = &tray;
        TTrayIcon* icon = ShownIcon();
        icon->LBPopupMenu = &launch;
        icon->RBPopupMenu = &command;
        return icon;
    }
    void StartHost() { QMetaObject::invokeMethod(&watcher, &FakeWatcher::Start, Qt::BlockingQueuedConnection); }
    void StopHost() { QMetaObject::invokeMethod(&watcher, &FakeWatcher::Stop, Qt::BlockingQueuedConnection); }
    // The host's calls come from another process, as a host's do (calls within one process
    // take shortcuts that real hosts never see).
    QString Call(const QString& path, const QString& method, QStringList args = {}) {
        QProcess gdbus;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "C.UTF-8");  // else it prints the Japanese labels as "?"
        gdbus.setProcessEnvironment(env);
        gdbus.start("gdbus", QStringList{"call", "--session", "-d", watcher.Registered().value(0), "-o", path, "-m", method, "--"} + args);
        WaitUntil([&] { return gdbus.state() == QProcess::NotRunning; });
        return QString::fromUtf8(gdbus.readAllStandardOutput());
    }
    // The top-level nodes of the exported menu: their numbers and labels ("-" for a line).
    std::vector<std::pair<int, QString>> Layout() {
        const QString out = Call("/MenuBar", "com.canonical.dbusmenu.GetLayout", {"0", "1", "@as []"});
        std::vector<std::pair<int, QString>> nodes;
        static const QRegularExpression node(R"(<\((\d+), \{([^}]*)\})");
        static const QRegularExpression label(R"('label': <'([^']*)'>)");
        for (auto m = node.globalMatch(out); m.hasNext();) {
            auto n = m.next();
            auto l = label.match(n.captured(2));
            nodes.emplace_back(n.captured(1).toInt(), l.hasMatch() ? l.captured(1) : QStringLiteral("-"));
        }
        return nodes;
    }
    QStringList Labels() {
        QStringList out;
        for (auto& [id, text] : Layout()) out << text;
        return out;
    }
    void Click(int id) {
        Call("/MenuBar", "com.canonical.dbusmenu.Event", {QString::number(id), "clicked", "<''>", "0"});
    }
    QString Property(const char* name) {
        return Call("/StatusNotifierItem", "org.freedesktop.DBus.Properties.Get", {"org.kde.StatusNotifierItem", name});
    }

    MenuRequest requests;
    LinuxDesktop desktop{&requests};
    std::list<LinuxTray> trays;
    QThread watcherThread;
    FakeWatcher watcher;
    TPopupMenu command{nullptr};
    TPopupMenu launch{nullptr};
    std::vector<std::string> chosen;
};

TEST_F(StatusNotifierTest, IconWaitsForItsHostAndTheHostDrawsTheRightButtonsMenu) {
    LinuxTray& tray = Tray(false);
    TTrayIcon* icon = IconOn(tray);  // no host yet: no registration error, the icon waits
    ASSERT_EQ(tray.ItemOf(icon->IconID()), nullptr);

    StartHost();
    ASSERT_TRUE(WaitUntil([&] { return watcher.Registered().size() == 1; }));
    EXPECT_EQ(Property("ItemIsMenu").trimmed(), "(<false>,)");
    EXPECT_TRUE(Property("IconPixmap").startsWith("(<[(16, 16, [byte ")) << qPrintable(Property("IconPixmap").left(80));

    // The host draws the right button's menu; the left button's pops as Veska's own.
    ASSERT_TRUE(WaitUntil([&] { return Labels().size() == 2; }));
    EXPECT_EQ(Labels(), (QStringList{"Veska のプロパティ(_R)...", "Veska の終了(_X)"}));
    // Before it shows the menu the host asks whether it changed; only a change is an update.
    EXPECT_EQ(Call("/MenuBar", "com.canonical.dbusmenu.AboutToShow", {"0"}).trimmed(), "(false,)");
    command.Items()->Items(0)->Enabled = false;
    EXPECT_EQ(Call("/MenuBar", "com.canonical.dbusmenu.AboutToShow", {"0"}).trimmed(), "(true,)");
    Click(Layout().at(1).first);
    ASSERT_TRUE(WaitUntil([&] { return !chosen.empty() && chosen.back() == "exit"; }));

    // The primary click pops the left button's menu as Veska's own; the secondary one is the
    // middle button, which pops nothing.
    // The menu runs its own loop, so whoever sees it open closes it.
    chosen.clear();
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            chosen.push_back("popped");
            popup->close();
        }
    });
    closer.start(20);
    Call("/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate", {"10", "20"});
    ASSERT_TRUE(WaitUntil([&] { return chosen.size() == 2; }));
    EXPECT_EQ(chosen, (std::vector<std::string>{"launch checked", "popped"}));
    closer.stop();
    std::vector<TMouseButton> downs;
    icon->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState, int, int) { downs.push_back(b); };
    Call("/StatusNotifierItem", "org.kde.StatusNotifierItem.SecondaryActivate", {"10", "20"});
    ASSERT_TRUE(WaitUntil([&] { return !downs.empty(); }));
    EXPECT_EQ(downs, (std::vector<TMouseButton>{TMouseButton::mbMiddle}));

    // A restarted host gets the icon again, and so does one that forgot it while starting.
    StopHost();
    watcher.Clear();
    StartHost();
    ASSERT_TRUE(WaitUntil([&] { return watcher.Registered().size() == 1; }));
    watcher.Clear();
    EXPECT_TRUE(WaitUntil([&] { return watcher.Registered().size() == 1; }));
}

TEST_F(StatusNotifierTest, OneMenuHostsGetBothMenusAndARefusingHostIsAnError) {
    StartHost();
    IconOn(Tray(true));
    ASSERT_TRUE(WaitUntil([&] { return watcher.Registered().size() == 1; }));
    EXPECT_EQ(Property("ItemIsMenu").trimmed(), "(<true>,)");
    EXPECT_EQ(Call("/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate", {"10", "20"}), "");  // refused
    ASSERT_TRUE(WaitUntil([&] { return Labels().size() == 4; }));
    EXPECT_EQ(Labels(), (QStringList{"エディタ__1", "-", "Veska のプロパティ(_R)...", "Veska の終了(_X)"}));

    // The launch menu's check runs before the host shows it, and its entry runs when chosen.
    chosen.clear();
    Call("/MenuBar", "com.canonical.dbusmenu.AboutToShow", {"0"});
    EXPECT_EQ(chosen, (std::vector<std::string>{"launch checked"}));
    Click(Layout().at(0).first);
    ASSERT_TRUE(WaitUntil([&] { return std::count(chosen.begin(), chosen.end(), "editor") == 1; }));

    form.reset();
    form = std::make_unique<TComponent>(nullptr);
    watcher.refuse = true;
    sp.platform().tray = &Tray(false);
    EXPECT_THROW(ShownIcon(), EOutOfMemory);
}

}  // namespace
}  // namespace veska

#include "StatusNotifierTest.moc"
