#include "platform/linux/tray/StatusNotifierItem.h"

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

// The item is named by its path, which watchers pair with the connection that registers it: an
// item registered by a bus name has GNOME's extension (46) watch that name too, and should the
// name's owner reach it after the item's properties, it drops them, and with them the icon.
QDBusMessage registerCall() {
    QDBusMessage call = QDBusMessage::createMethodCall(StatusNotifierItem::WatcherService, "/StatusNotifierWatcher",
                                                       StatusNotifierItem::WatcherService, "RegisterStatusNotifierItem");
    call << QString::fromLatin1(ItemPath);
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
      connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_)) {
    RegisterDbusTypes();
    new StatusNotifierItemAdaptor(this);
    if (!connection_.isConnected()) return;
    connection_.registerObject(ItemPath, this);
    menu_ = std::make_unique<DbusMenu>(connection_, MenuPath, std::move(menuHandlers));
}

StatusNotifierItem::~StatusNotifierItem() {
    menu_.reset();
    if (connection_.isConnected()) connection_.unregisterObject(ItemPath);
    QDBusConnection::disconnectFromBus(connectionName_);
}

void StatusNotifierItem::Register(std::function<void(const QString& error)> done) {
    retries_ = 0;
    Send(std::move(done));
}

// A host in the middle of its own start may still lose the icon: once it has settled, the icon
// is announced again, and an item missing from the watcher's list registers again, a few times
// at most.
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
            if (reply.isError() || Listed(reply.value().variant().toStringList()) || retries_ >= 3) return;
            ++retries_;
            Send(nullptr);
        });
    });
}

// Watchers list an item by its connection and path ("name/path", GNOME's "name@path").
bool StatusNotifierItem::Listed(const QStringList& items) const {
    const QString unique = connection_.baseService();
    for (const QString& entry : items)
        if (entry.startsWith(unique + u'/') || entry.startsWith(unique + u'@')) return true;
    return false;
}

void StatusNotifierItem::Send(std::function<void(const QString&)> done) {
    if (!connection_.isConnected()) {
        if (done) done(QStringLiteral("org.freedesktop.DBus.Error.Disconnected: no session bus"));
        return;
    }
    // The default time-out: nothing waits on the answer, and a slow watcher's late yes still counts.
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(registerCall()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, done = std::move(done)](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<> reply = *w;
        const QString error = reply.isError() ? reply.error().name() + ": " + reply.error().message() : QString();
        if (error.isEmpty()) Settle();
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
