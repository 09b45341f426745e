// The structured values of the StatusNotifierItem and com.canonical.dbusmenu interfaces, with
// their D-Bus marshalling. RegisterDbusTypes() must run before any of them crosses the bus.
#pragma once
#include <QByteArray>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QString>
#include <QVariantMap>

namespace veska {

// (iiay): one picture of an icon, ARGB32 in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using SniPixmaps = QList<SniPixmap>;

// (sa(iiay)ss)
struct SniToolTip {
    QString iconName;
    SniPixmaps image;
    QString title;
    QString text;
};

// (ia{sv}av): a menu node; its children travel as variants holding nodes.
struct MenuNode {
    int id = 0;
    QVariantMap properties;
    QList<MenuNode> children;
    bool operator==(const MenuNode& other) const {
        return id == other.id && properties == other.properties && children == other.children;
    }
};

// (ia{sv})
struct MenuNodeProperties {
    int id = 0;
    QVariantMap properties;
};
using MenuNodePropertiesList = QList<MenuNodeProperties>;

// (ias)
struct MenuNodeRemoved {
    int id = 0;
    QStringList names;
};
using MenuNodeRemovedList = QList<MenuNodeRemoved>;

// (isvu)
struct MenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using MenuEventList = QList<MenuEvent>;

void RegisterDbusTypes();

QDBusArgument& operator<<(QDBusArgument& a, const SniPixmap& v);
const QDBusArgument& operator>>(const QDBusArgument& a, SniPixmap& v);
QDBusArgument& operator<<(QDBusArgument& a, const SniToolTip& v);
const QDBusArgument& operator>>(const QDBusArgument& a, SniToolTip& v);
QDBusArgument& operator<<(QDBusArgument& a, const MenuNode& v);
const QDBusArgument& operator>>(const QDBusArgument& a, MenuNode& v);
QDBusArgument& operator<<(QDBusArgument& a, const MenuNodeProperties& v);
const QDBusArgument& operator>>(const QDBusArgument& a, MenuNodeProperties& v);
QDBusArgument& operator<<(QDBusArgument& a, const MenuNodeRemoved& v);
const QDBusArgument& operator>>(const QDBusArgument& a, MenuNodeRemoved& v);
QDBusArgument& operator<<(QDBusArgument& a, const MenuEvent& v);
const QDBusArgument& operator>>(const QDBusArgument& a, MenuEvent& v);

}  // namespace veska

Q_DECLARE_METATYPE(veska::SniPixmap)
Q_DECLARE_METATYPE(veska::SniToolTip)
Q_DECLARE_METATYPE(veska::MenuNode)
Q_DECLARE_METATYPE(veska::MenuNodeProperties)
Q_DECLARE_METATYPE(veska::MenuNodeRemoved)
Q_DECLARE_METATYPE(veska::MenuEvent)
