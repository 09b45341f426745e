// The tray icon as a StatusNotifierItem, against a stand-in host on a private session bus: the
// host may come later or restart, draws the exported menus, and its choices reach the entries.
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QMenu>
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
#include <chrono>
#include <list>
#include <optional>
#include <thread>

#include "TrayFixture.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/Activation.h"
#include "platform/linux/tray/LinuxTray.h"
#include "platform/linux/tray/StatusNotifierItem.h"

namespace veska {

// The watcher half of a host: it records the items that register, or refuses them. It answers
// on a thread and connection of its own, as a host in another process would, late where a
// panel busy with its own start would.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ Registered)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)
public:
    bool HostRegistered() { return Stall(), host; }
    std::atomic<bool> host = true;
    static int64_t Now() { return std::chrono::steady_clock::now().time_since_epoch().count(); }
    std::atomic<int64_t> stallUntil = 0, registeredAt = 0, refusals = 0;  // times on Now()'s clock
    // "bus/path", as real watchers list items.
    QStringList Registered() {
        QMutexLocker lock(&mutex);
        return registered;
    }
    // The bus name of the first item, and what items registered with.
    QString Service() { return Registered().value(0).section(u'/', 0, 0); }
    QStringList Arguments() {
        QMutexLocker lock(&mutex);
        return arguments;
    }
    void Clear() {
        QMutexLocker lock(&mutex);
        registered.clear();
    }
    std::atomic<bool> refuse = false;
public slots:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message) {
        Stall();
        if (refuse) {
            ++refusals;
            message.setDelayedReply(true);
            QDBusConnection(BusName).send(message.createErrorReply(QDBusError::AccessDenied, "no icons here"));
            return;
        }
        // A path names an object of the caller's connection.
        const QString entry = service.startsWith(u'/') ? message.service() + service : service + "/StatusNotifierItem";
        QMutexLocker lock(&mutex);
        arguments.append(service);
        if (!registered.contains(entry)) registered.append(entry);
        registeredAt = Now();
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
    void Stall() { std::this_thread::sleep_for(std::chrono::nanoseconds(std::max<int64_t>(0, stallUntil - Now()))); }
    static constexpr const char* BusName = "fake-watcher";
    QMutex mutex;
    QStringList registered;
    QStringList arguments;
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
        gdbus.start("gdbus", QStringList{"call", "--session", "-d", watcher.Service(), "-o", path, "-m", method, "--"} + args);
        WaitUntil([&] { return gdbus.state() == QProcess::NotRunning; });
        if (gdbus.exitCode() != 0) return "error: " + QString::fromUtf8(gdbus.readAllStandardError());
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
    // Host calls on a connection and thread of their own, as from another process, while this
    // thread runs Veska until they are done: its windows may stay open meanwhile.
    void AsHost(const std::function<void(QDBusConnection&, const QString& service)>& calls) {
        std::atomic<bool> done = false;
        std::thread host([&, service = watcher.Service()] {
            QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "host");
            calls(bus, service);
            done = true;
        });
        EXPECT_TRUE(WaitUntil([&] { return done.load(); }));
        host.join();
        QDBusConnection::disconnectFromBus("host");
    }
    // Clicks on a node sent without waiting, in one EventGroup or as Event calls; all answered.
    static void Clicks(QDBusConnection& bus, const QString& service, int id, int count, bool grouped) {
        auto menu = [&] {
            return QDBusMessage::createMethodCall(service, "/MenuBar", "com.canonical.dbusmenu", grouped ? "EventGroup" : "Event");
        };
        const MenuEvent click{id, "clicked", QDBusVariant(0), 0};
        QList<QDBusPendingCall> sent;
        if (grouped) sent << bus.asyncCall(menu() << QVariant::fromValue(MenuEventList(count, click)));
        for (int i = 0; !grouped && i < count; ++i)
            sent << bus.asyncCall(menu() << id << click.eventId << QVariant::fromValue(click.data) << click.timestamp);
        for (QDBusPendingCall& call : sent) {
            call.waitForFinished();
            EXPECT_FALSE(call.isError()) << qPrintable(call.error().message());
        }
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
    // The item goes by its path on its own connection, with no bus name a host would watch
    // besides: GNOME's extension drops the icon when that name's owner comes after its properties.
    QStringList used = watcher.Arguments();
    used.removeDuplicates();
    EXPECT_EQ(used, QStringList{"/StatusNotifierItem"});
    QDBusConnectionInterface* names = QDBusConnection::sessionBus().interface();
    for (const QString& name : names->registeredServiceNames().value()) {
        if (name.startsWith(u':')) continue;
        EXPECT_NE(names->serviceOwner(name).value(), watcher.Service()) << qPrintable(name);
    }
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

TEST_F(StatusNotifierTest, OneMenuHostsGetBothMenusAndARefusingHostIsNoTray) {
    StartHost();
    IconOn(Tray(true));
    ASSERT_TRUE(WaitUntil([&] { return watcher.Registered().size() == 1; }));
    EXPECT_EQ(Property("ItemIsMenu").trimmed(), "(<true>,)");
    EXPECT_TRUE(Call("/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate", {"10", "20"}).startsWith("error:"));
    ASSERT_TRUE(WaitUntil([&] { return Labels().size() == 4; }));
    EXPECT_EQ(Labels(), (QStringList{"エディタ__1", "-", "Veska のプロパティ(_R)...", "Veska の終了(_X)"}));

    // The launch menu's check runs before the host shows it, once however often the host names
    // the menu, and its entry runs when chosen.
    chosen.clear();
    Call("/MenuBar", "com.canonical.dbusmenu.AboutToShowGroup", {"[0, 0, 0, 1, 1, 9999]"});
    EXPECT_EQ(chosen, (std::vector<std::string>{"launch checked"}));
    Click(Layout().at(0).first);
    ASSERT_TRUE(WaitUntil([&] { return std::count(chosen.begin(), chosen.end(), "editor") == 1; }));

    // The refusal comes after the icon was added, which then waits for another tray as for none.
    form.reset();
    form = std::make_unique<TComponent>(nullptr);
    watcher.refuse = true;
    sp.platform().tray = &Tray(false);
    EXPECT_NO_THROW(ShownIcon());
    EXPECT_TRUE(WaitUntil([&] { return watcher.refusals == 1; }));
}

// A restarted panel's watcher that holds its answers back keeps nobody waiting: the menu answers
// its callers meanwhile, and the icon registers the moment the watcher answers, not at a poll.
TEST_F(StatusNotifierTest, AStallingWatcherKeepsTheMenuAnsweringAndGetsTheIconWhenItAnswers) {
    StartHost();
    IconOn(trays.emplace_back(&requests, LinuxTray::Options{[] { return false; }, false, 2000, 8000}));
    ASSERT_TRUE(WaitUntil([&] { return watcher.registeredAt != 0; }));
    StopHost();
    watcher.registeredAt = 0;
    watcher.stallUntil = FakeWatcher::Now() + 4'000'000'000;
    StartHost();
    int64_t early = 0, slowest = 0;
    AsHost([&](QDBusConnection& bus, const QString& service) {
        const QDBusMessage layout =
            QDBusMessage::createMethodCall(service, "/MenuBar", "com.canonical.dbusmenu", "GetLayout") << 0 << -1 << QStringList();
        for (QDeadlineTimer deadline(10000); watcher.registeredAt == 0 && !deadline.hasExpired();) {
            const int64_t sent = FakeWatcher::Now();
            const QDBusMessage reply = bus.call(layout, QDBus::Block, 5000);
            EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
            slowest = std::max(slowest, FakeWatcher::Now() - sent);
            early += FakeWatcher::Now() < watcher.stallUntil;
        }
    });
    EXPECT_GE(early, 3) << "no calls answered while the watcher held its answers back";
    EXPECT_LT(slowest, 1'000'000'000) << "a call waited for the watcher";  // generous: answered in microseconds
    ASSERT_NE(watcher.registeredAt, 0);
    EXPECT_LT((watcher.registeredAt - watcher.stallUntil) / 1'000'000, 1500) << "registered only at a later poll";
}

// What the menu tells its hosts, heard as a host hears it: on a connection of its own.
class MenuSignals : public QObject {
    Q_OBJECT
public:
    explicit MenuSignals(const QString& service) : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "listener")) {
        bus.connect(service, "/MenuBar", "com.canonical.dbusmenu", "ItemsPropertiesUpdated", this,
                    SLOT(Properties(QDBusMessage)));
        bus.connect(service, "/MenuBar", "com.canonical.dbusmenu", "LayoutUpdated", this, SLOT(Layout(uint, int)));
    }
    ~MenuSignals() override { QDBusConnection::disconnectFromBus("listener"); }
    QStringList heard;  // "layout" or "<id> <property>=<value>" / "<id> -<property>"
public slots:
    void Properties(const QDBusMessage& m) {
        MenuNodePropertiesList updated;
        MenuNodeRemovedList removed;
        m.arguments().at(0).value<QDBusArgument>() >> updated;
        m.arguments().at(1).value<QDBusArgument>() >> removed;
        for (const auto& u : updated)
            for (auto p = u.properties.begin(); p != u.properties.end(); ++p)
                heard << QStringLiteral("%1 %2=%3").arg(u.id).arg(p.key(), p.value().toString());
        for (const auto& r : removed)
            for (const QString& name : r.names) heard << QStringLiteral("%1 -%2").arg(r.id).arg(name);
    }
    void Layout(uint, int) { heard << "layout"; }

private:
    QDBusConnection bus;
};

TEST_F(StatusNotifierTest, HostMenusStayTrueAcrossEditsAndEveryCallAnswersAtOnce) {
    StartHost();
    TTrayIcon* icon = IconOn(Tray(true));
    ASSERT_TRUE(WaitUntil([&] { return Labels().size() == 4; }));
    MenuSignals heard(watcher.Service());
    const auto before = Layout();
    const int editor = before[0].first, properties = before[2].first;
    TMenuItem* propertiesItem = command.Items()->Items(0);

    // A window opening is a moment to look again; the host hears of the state it shows.
    propertiesItem->Enabled = false;
    QWidget dialog;
    dialog.show();
    ASSERT_TRUE(WaitUntil([&] { return heard.heard.contains(QStringLiteral("%1 enabled=false").arg(properties)); }));
    EXPECT_FALSE(heard.heard.contains("layout"));
    EXPECT_EQ(Layout(), before);

    // The launch menu is rebuilt with the dialog left open (an Apply), and the host hears of it
    // then: the new entry gets a number never used, the old one is gone for good, and neither
    // the stale number nor the disabled entry runs anything. A check mark is heard as soon.
    delete launch.Items()->Items(0);
    launch.Items()->Add(Item(launch, "Beta", "beta"));
    ASSERT_TRUE(WaitUntil([&] { return Labels().value(0) == "Beta"; }));
    EXPECT_TRUE(heard.heard.contains("layout"));
    const int beta = Layout()[0].first;
    launch.Items()->Items(0)->SetChecked(true);
    EXPECT_TRUE(WaitUntil([&] { return heard.heard.contains(QStringLiteral("%1 toggle-state=1").arg(beta)); }));
    for (auto& [id, label] : before) EXPECT_GT(beta, id);
    EXPECT_EQ(Layout()[2].first, properties);
    // Rebuilt once more the same: Beta keeps its number, so the host has no layout to redo.
    heard.heard.clear();
    delete launch.Items()->Items(0);
    launch.Items()->Add(Item(launch, "Beta", "beta"));
    propertiesItem->Enabled = true;
    dialog.show();
    ASSERT_TRUE(WaitUntil([&] { return heard.heard.contains(QStringLiteral("%1 enabled=true").arg(properties)); }));
    EXPECT_FALSE(heard.heard.contains("layout"));
    EXPECT_EQ(Layout()[0].first, beta);
    dialog.hide();
    propertiesItem->Enabled = false;
    chosen.clear();
    Click(properties);
    // Every refused call answers with an error at once.
    struct Refused {
        const char* method;
        QStringList args;
    };
    for (const Refused& r : std::vector<Refused>{
             {"com.canonical.dbusmenu.Event", {QString::number(editor), "clicked", "<''>", "0"}},
             {"com.canonical.dbusmenu.GetProperty", {QString::number(properties), "visible"}},
             {"com.canonical.dbusmenu.GetProperty", {QString::number(editor), "label"}},
             {"com.canonical.dbusmenu.GetLayout", {QString::number(editor), "1", "@as []"}},
             {"com.canonical.dbusmenu.AboutToShow", {"9999"}},
         })
        EXPECT_TRUE(Call("/MenuBar", r.method, r.args).contains("InvalidArgs")) << r.method;

    // The host's token goes to what its click runs.
    std::string token;
    launch.Items()->Items(0)->OnClick = [&](TObject*) {
        token = TakeActivationToken();
        chosen.push_back("beta");
    };

    Call("/StatusNotifierItem", "org.kde.StatusNotifierItem.ProvideXdgActivationToken", {"tok-1"});
    Click(beta);
    ASSERT_TRUE(WaitUntil([&] { return std::count(chosen.begin(), chosen.end(), "beta") == 1; }));
    EXPECT_EQ(std::count(chosen.begin(), chosen.end(), "properties"), 0);
    EXPECT_EQ(token, "tok-1");

    // A burst of clicks queued before the host asks about the menu: the answer comes while the
    // pop-up is open, from the menus as they are, and only one pop-up opens at a time.
    propertiesItem->Enabled = true;
    std::atomic<bool> answered = false;
    QString answer;
    int open = 0, most = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        int now = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) now += w->isVisible() && qobject_cast<QMenu*>(w);
        most = std::max(most, now);
        if (now) ++open;
        if (answered)
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    closer.start(10);
    AsHost([&](QDBusConnection& bus, const QString& service) {
        for (int i = 0; i < 20; ++i)
            bus.asyncCall(QDBusMessage::createMethodCall(service, "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                                                         "ContextMenu") << 1 << 2);
        QDBusMessage show = QDBusMessage::createMethodCall(service, "/MenuBar", "com.canonical.dbusmenu", "AboutToShow") << 0;
        QDBusMessage reply = bus.call(show, QDBus::Block, 5000);
        answer = reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() : QStringLiteral("answered");
        answered = true;
    });
    EXPECT_EQ(answer, "answered");
    EXPECT_GT(open, 0);
    EXPECT_EQ(most, 1);
    EXPECT_TRUE(WaitUntil([&] { return !QApplication::activePopupWidget(); }));
    EXPECT_EQ(Labels(), (QStringList{"Beta", "-", "Veska のプロパティ(_R)...", "Veska の終了(_X)"}));
    (void)icon;
}

// A burst of clicks on an entry, in one EventGroup or as Event calls sent without waiting: an
// entry that opens a window opens one, which a further click brings to the front; one that
// starts a program runs once per click.
TEST_F(StatusNotifierTest, ABurstOfClicksOpensOneWindowWhichAFurtherClickBringsToTheFront) {
    StartHost();
    IconOn(Tray(true));
    launch.Items()->Add(Item(launch, "システム情報...", "information"));
    int windows = 0;
    QPointer<QDialog> window;
    // Modal, as Veska's windows are; the properties command is disabled while its dialog is open.
    for (TMenuItem* item : {launch.Items()->Items(1), command.Items()->Items(0)})
        item->OnClick = [&, item](TObject*) {
            ++windows;
            item->Enabled = item->Parent() == launch.Items();
            QDialog dialog;
            window = &dialog;
            dialog.exec();
            item->Enabled = true;
        };
    ASSERT_TRUE(WaitUntil([&] { return Labels().size() == 5; }));
    const auto nodes = Layout();  // editor, information, line, properties, exit
    QWidget elsewhere;
    elsewhere.show();
    struct Burst { int node, clicks; bool grouped; int windows, programs; };
    for (const Burst& b : std::vector<Burst>{{1, 20, true, 1, 0}, {1, 20, false, 1, 0}, {3, 20, false, 1, 0},
                                             {1, 3000, true, 1, 0}, {0, 20, false, 0, 21}, {0, 3000, true, 0, 3001}}) {
        windows = 0;
        chosen.clear();
        bool inFront = false;
        AsHost([&](QDBusConnection& bus, const QString& service) {
            Clicks(bus, service, nodes[b.node].first, b.clicks, b.grouped);
            QMetaObject::invokeMethod(qApp, [&] {
                elsewhere.activateWindow();
                WaitUntil([&] { return QApplication::activeWindow() == &elsewhere; });
            }, Qt::BlockingQueuedConnection);
            Clicks(bus, service, nodes[b.node].first, 1, true);
            QMetaObject::invokeMethod(qApp, [&] {
                inFront = window && WaitUntil([&] { return QApplication::activeWindow() == window; });
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->reject();
            }, Qt::BlockingQueuedConnection);
        });
        EXPECT_EQ(windows, b.windows) << b.node << ", " << b.clicks;
        EXPECT_EQ(inFront, b.windows > 0) << b.node << ", " << b.clicks;
        EXPECT_EQ(std::count(chosen.begin(), chosen.end(), "editor"), b.programs) << b.clicks;
    }
}

// A watcher whose host has gone is no tray: the XEmbed tray takes the icon until a host comes.
// Qt would make an XEmbed icon created beside a watcher an item of its own, a second icon.
TEST_F(StatusNotifierTest, AWatcherWithoutAHostKeepsTheIconWaitingForItsHostOrTheXEmbedTray) {
    watcher.host = false;
    StartHost();
    LinuxTray& tray = trays.emplace_back(&requests, LinuxTray::Options{[] { return true; }, false, 2000, 50});
    TTrayIcon* icon = IconOn(tray);
    EXPECT_EQ(tray.IconOf(icon->IconID()), nullptr);
    EXPECT_TRUE(watcher.Registered().isEmpty());
    StopHost();
    ASSERT_TRUE(WaitUntil([&] { return tray.IconOf(icon->IconID()) != nullptr; }));
    watcher.host = true;
    StartHost();
    ASSERT_TRUE(WaitUntil([&] { return watcher.Registered().size() == 1; }));
    EXPECT_EQ(tray.IconOf(icon->IconID()), nullptr);
    EXPECT_NE(tray.ItemOf(icon->IconID()), nullptr);
    // The picture goes out at every size panels draw.
    EXPECT_TRUE(WaitUntil([&] {
        static const QRegularExpression sizes(R"(\((\d+), \1, \[)");
        QStringList seen;
        for (auto m = sizes.globalMatch(Property("IconPixmap")); m.hasNext();) seen << m.next().captured(1);
        return seen == QStringList{"16", "22", "24", "32", "48", "64"};
    }));
}

}  // namespace
}  // namespace veska

#include "StatusNotifierTest.moc"
