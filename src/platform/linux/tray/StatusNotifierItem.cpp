#include "platform/linux/tray/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QIcon>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace veska {

namespace {

constexpr const char* ItemPath = "/StatusNotifierItem";
constexpr const char* MenuPath = "/MenuBar";

QDBusMessage registerCall(const QString& service) {
    QDBusMessage call = QDBusMessage::createMethodCall(StatusNotifierItem::WatcherService, "/StatusNotifierWatcher",
                                                       StatusNotifierItem::WatcherService, "RegisterStatusNotifierItem");
    call << service;
    return call;
}

constexpr const char* ItemInterface = "org.kde.StatusNotifierItem";

// ARGB32 in network byte order, as the protocol wants it.
SniPixmap pixmapOf(const QImage& image) {
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    SniPixmap p{argb.width(), argb.height(), QByteArray()};
    p.bytes.reserve(argb.width() * argb.height() * 4);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb c = line[x];
            p.bytes.append(char(qAlpha(c))).append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
        }
    }
    return p;
}

// The sizes panels draw tray icons at. A smaller picture is enlarged by whole pixels and set in
// the middle, so that nothing is smeared between pixels; a larger one is scaled down smoothly.
QList<QImage> sharpSizes(const QImage& image) {
    QList<QImage> out;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        const QSize have = image.size();
        QImage picture;
        if (have.width() > size || have.height() > size) {
            picture = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        } else {
            const int k = std::max(1, std::min(size / have.width(), size / have.height()));
            picture = image.scaled(have * k, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        }
        QImage canvas(size, size, QImage::Format_ARGB32);
        canvas.fill(Qt::transparent);
        QPainter paint(&canvas);
        paint.drawImage((size - picture.width()) / 2, (size - picture.height()) / 2, picture);
        paint.end();
        out.append(canvas);
    }
    return out;
}

// The installed theme's icon of this name, when it is this picture.
QString themeNameOf(const QImage& image) {
    static const QString name = QStringLiteral("veska");
    if (image.isNull() || !QIcon::hasThemeIcon(name)) return {};
    const QImage themed = QIcon::fromTheme(name).pixmap(image.size()).toImage();
    return themed.convertToFormat(QImage::Format_ARGB32) == image.convertToFormat(QImage::Format_ARGB32) ? name : QString();
}

}  // namespace

class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ Category)
    Q_PROPERTY(QString Id READ Id)
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(int WindowId READ WindowId)
    Q_PROPERTY(QString IconThemePath READ Empty)
    Q_PROPERTY(QString IconName READ IconName)
    Q_PROPERTY(QList<veska::SniPixmap> IconPixmap READ IconPixmap)
    Q_PROPERTY(QString OverlayIconName READ Empty)
    Q_PROPERTY(QList<veska::SniPixmap> OverlayIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionIconName READ Empty)
    Q_PROPERTY(QList<veska::SniPixmap> AttentionIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ Empty)
    Q_PROPERTY(veska::SniToolTip ToolTip READ ToolTip)
    Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ Menu)
public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item) : QDBusAbstractAdaptor(item), item_(item) {
        connect(item, &StatusNotifierItem::NewIcon, this, &StatusNotifierItemAdaptor::NewIcon);
        connect(item, &StatusNotifierItem::NewToolTip, this, &StatusNotifierItemAdaptor::NewToolTip);
        connect(item, &StatusNotifierItem::NewTitle, this, &StatusNotifierItemAdaptor::NewTitle);
    }
    QString Category() const { return QStringLiteral("ApplicationStatus"); }
    QString Id() const { return QStringLiteral("veska"); }
    QString Title() const { return item_->title_; }
    QString Status() const { return QStringLiteral("Active"); }
    int WindowId() const { return 0; }
    QString Empty() const { return {}; }
    QString IconName() const { return item_->iconName_; }
    SniPixmaps IconPixmap() const { return item_->pixmaps_; }
    SniPixmaps NoPixmaps() const { return {}; }
    SniToolTip ToolTip() const { return {QString(), {}, item_->tip_, QString()}; }
    bool ItemIsMenu() const { return item_->itemIsMenu_; }
    QDBusObjectPath Menu() const { return QDBusObjectPath(MenuPath); }

public slots:
    // An item that is a menu refuses activation: GNOME's extension then opens the menu on a
    // single click at once, where it would wait for a double click to call us instead.
    void Activate(int x, int y, const QDBusMessage& call) {
        if (item_->itemIsMenu_) {
            call.setDelayedReply(true);
            item_->Connection().send(call.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("the item is a menu")));
            return;
        }
        emit item_->Activate(x, y);
    }
    void SecondaryActivate(int x, int y) { emit item_->SecondaryActivate(x, y); }
    void ContextMenu(int x, int y) { emit item_->ContextMenu(x, y); }
    void Scroll(int, const QString&) {}
    void ProvideXdgActivationToken(const QString& token) { item_->token_ = token; }

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem* item_;
};

StatusNotifierItem::StatusNotifierItem(uint32_t id, DbusMenu::Handlers menuHandlers)
    : connectionName_(QStringLiteral("veska-tray-%1").arg(id)),
      connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_)),
      service_(QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(QCoreApplication::applicationPid()).arg(id)) {
    RegisterDbusTypes();
    new StatusNotifierItemAdaptor(this);
    if (!connection_.isConnected()) return;
    connection_.registerObject(ItemPath, this);
    connection_.registerService(service_);
    menu_ = std::make_unique<DbusMenu>(connection_, MenuPath, std::move(menuHandlers));
}

StatusNotifierItem::~StatusNotifierItem() {
    menu_.reset();
    if (connection_.isConnected()) {
        connection_.unregisterObject(ItemPath);
        connection_.unregisterService(service_);
    }
    QDBusConnection::disconnectFromBus(connectionName_);
}

void StatusNotifierItem::Register(std::function<void(const QString& error)> done) {
    retries_ = 0;
    Send(std::move(done));
}

void StatusNotifierItem::Registered() {
    nudges_ = 0;
    menu_->TakeRead();
    Settle();
}

// A host in the middle of its own start may lose the icon: GNOME's extension drops the first
// icon it loads when its start-up cancels the load, and forgets an item whose properties it
// could not read. So once it has settled, the icon is announced again, and an item missing from
// the watcher's list registers again, a few times at most. GNOME's extension may also set up the
// item before it knows the item's name, then lose its properties and never read the menu: only a
// change of properties told by the bus itself brings it round, so it is told while no host has
// read the menu. The list is looked at every time, as a restarting panel's watcher answers for
// itself long before its host reads anything.
void StatusNotifierItem::Settle() {
    QTimer::singleShot(2000, this, [this] {
        emit NewIcon();
        QDBusMessage get = QDBusMessage::createMethodCall(WatcherService, "/StatusNotifierWatcher",
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << QString::fromLatin1(WatcherService) << QStringLiteral("RegisteredStatusNotifierItems");
        auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(get), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            QDBusPendingReply<QDBusVariant> reply = *w;
            if (!reply.isError() && !Listed(reply.value().variant().toStringList()) && retries_ < 3) {
                ++retries_;
                return Send(nullptr);
            }
            if (menu_->TakeRead() || nudges_++ >= 10) return;
            QDBusMessage changed = QDBusMessage::createSignal(ItemPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
            changed << QString::fromLatin1(ItemInterface)
                    << QVariantMap{{QStringLiteral("Id"), QStringLiteral("veska")},
                                   {QStringLiteral("Menu"), QVariant::fromValue(QDBusObjectPath(MenuPath))}}
                    << QStringList();
            connection_.send(changed);
            Settle();
        });
    });
}

// Watchers list an item by its name, its name and path, or its connection and path.
bool StatusNotifierItem::Listed(const QStringList& items) const {
    const QString unique = connection_.baseService();
    for (const QString& entry : items) {
        if (entry == service_ || entry.startsWith(service_ + u'/') || entry.startsWith(unique + u'/') ||
            entry.startsWith(unique + u'@'))
            return true;
    }
    return false;
}

void StatusNotifierItem::Send(std::function<void(const QString&)> done) {
    if (!connection_.isConnected()) {
        if (done) done(QStringLiteral("org.freedesktop.DBus.Error.Disconnected: no session bus"));
        return;
    }
    // The default time-out: nothing waits on the answer, and a slow watcher's late yes still counts.
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(registerCall(service_)), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, done = std::move(done)](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<> reply = *w;
        const QString error = reply.isError() ? reply.error().name() + ": " + reply.error().message() : QString();
        if (error.isEmpty()) Registered();
        if (done)
            done(error);
        else if (!error.isEmpty())
            std::fprintf(stderr, "veska: the tray host refused the icon: %s\n", qPrintable(error));
    });
}

void StatusNotifierItem::SetIcon(const QImage& image) {
    pixmaps_.clear();
    if (!image.isNull())
        for (const QImage& picture : sharpSizes(image)) pixmaps_.append(pixmapOf(picture));
    iconName_ = themeNameOf(image);
    emit NewIcon();
}

// Hosts show the tooltip's title, or the item's title where the tooltip has no text.
void StatusNotifierItem::SetToolTip(const QString& text) {
    tip_ = text;
    title_ = text.isEmpty() ? QStringLiteral("Veska") : text;
    emit NewToolTip();
    emit NewTitle();
}

}  // namespace veska

#include "StatusNotifierItem.moc"
