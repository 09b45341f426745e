#include "platform/linux/tray/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
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
    Q_PROPERTY(QString IconName READ Empty)
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
    }
    QString Category() const { return QStringLiteral("ApplicationStatus"); }
    QString Id() const { return QStringLiteral("veska"); }
    QString Title() const { return item_->title_; }
    QString Status() const { return QStringLiteral("Active"); }
    int WindowId() const { return 0; }
    QString Empty() const { return {}; }
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

QString StatusNotifierItem::Register(int timeoutMs) {
    if (!connection_.isConnected()) return QStringLiteral("no session bus");
    QDBusMessage reply = connection_.call(registerCall(service_), QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) return reply.errorName() + ": " + reply.errorMessage();
    retries_ = 0;
    Settle();
    return {};
}

// A host in the middle of its own start may lose the icon: GNOME's extension drops the first
// icon it loads when its start-up cancels the load, and forgets an item whose properties it
// could not read. So once it has settled, the icon and menu are announced again, and an item missing
// from the watcher's list registers again, a few times at most.
void StatusNotifierItem::Settle() {
    QTimer::singleShot(2000, this, [this] {
        emit NewIcon();
        menu_->SetLayout(menu_->Layout(), true);
        QDBusMessage get = QDBusMessage::createMethodCall(WatcherService, "/StatusNotifierWatcher",
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << QString::fromLatin1(WatcherService) << QStringLiteral("RegisteredStatusNotifierItems");
        auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(get), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            QDBusPendingReply<QDBusVariant> reply = *w;
            if (reply.isError() || Listed(reply.value().variant().toStringList()) || retries_ >= 3) return;
            ++retries_;
            Send();
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

void StatusNotifierItem::RegisterLater() {
    retries_ = 0;
    Send();
}

void StatusNotifierItem::Send() {
    if (!connection_.isConnected()) return;
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(registerCall(service_)), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<> reply = *w;
        if (reply.isError())
            std::fprintf(stderr, "veska: the tray host refused the icon: %s\n", qPrintable(reply.error().message()));
        else
            Settle();
        w->deleteLater();
    });
}

void StatusNotifierItem::SetIcon(const QImage& image) {
    pixmaps_.clear();
    if (!image.isNull()) {
        // Hosts pick the size nearest their panel's; a doubled copy keeps the pixels crisp there.
        pixmaps_.append(pixmapOf(image));
        pixmaps_.append(pixmapOf(image.scaled(image.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    }
    emit NewIcon();
}

void StatusNotifierItem::SetToolTip(const QString& text) {
    tip_ = text;
    emit NewToolTip();
}

}  // namespace veska

#include "StatusNotifierItem.moc"
