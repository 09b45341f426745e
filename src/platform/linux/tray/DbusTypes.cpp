#include "platform/linux/tray/DbusTypes.h"

#include <QDBusMetaType>

namespace veska {

void RegisterDbusTypes() {
    static const bool done = [] {
        qDBusRegisterMetaType<SniPixmap>();
        qDBusRegisterMetaType<SniPixmaps>();
        qDBusRegisterMetaType<SniToolTip>();
        qDBusRegisterMetaType<MenuNode>();
        qDBusRegisterMetaType<MenuNodeProperties>();
        qDBusRegisterMetaType<MenuNodePropertiesList>();
        qDBusRegisterMetaType<MenuNodeRemoved>();
        qDBusRegisterMetaType<MenuNodeRemovedList>();
        qDBusRegisterMetaType<MenuEvent>();
        qDBusRegisterMetaType<MenuEventList>();
        qDBusRegisterMetaType<QList<int>>();
        return true;
    }();
    (void)done;
}

QDBusArgument& operator<<(QDBusArgument& a, const SniPixmap& v) {
    a.beginStructure();
    a << v.width << v.height << v.bytes;
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, SniPixmap& v) {
    a.beginStructure();
    a >> v.width >> v.height >> v.bytes;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const SniToolTip& v) {
    a.beginStructure();
    a << v.iconName << v.image << v.title << v.text;
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, SniToolTip& v) {
    a.beginStructure();
    a >> v.iconName >> v.image >> v.title >> v.text;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const MenuNode& v) {
    a.beginStructure();
    a << v.id << v.properties;
    a.beginArray(qMetaTypeId<QDBusVariant>());
    for (const MenuNode& child : v.children) a << QDBusVariant(QVariant::fromValue(child));
    a.endArray();
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, MenuNode& v) {
    a.beginStructure();
    a >> v.id >> v.properties;
    v.children.clear();
    a.beginArray();
    while (!a.atEnd()) {
        QDBusVariant child;
        a >> child;
        // A child arrives as a nested argument, not yet as a node.
        const QVariant value = child.variant();
        if (value.canConvert<QDBusArgument>())
            v.children.append(qdbus_cast<MenuNode>(value.value<QDBusArgument>()));
        else
            v.children.append(value.value<MenuNode>());
    }
    a.endArray();
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const MenuNodeProperties& v) {
    a.beginStructure();
    a << v.id << v.properties;
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, MenuNodeProperties& v) {
    a.beginStructure();
    a >> v.id >> v.properties;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const MenuNodeRemoved& v) {
    a.beginStructure();
    a << v.id << v.names;
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, MenuNodeRemoved& v) {
    a.beginStructure();
    a >> v.id >> v.names;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const MenuEvent& v) {
    a.beginStructure();
    a << v.id << v.eventId << v.data << v.timestamp;
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, MenuEvent& v) {
    a.beginStructure();
    a >> v.id >> v.eventId >> v.data >> v.timestamp;
    a.endStructure();
    return a;
}

}  // namespace veska
