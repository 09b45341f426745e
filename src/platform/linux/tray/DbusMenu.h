// A menu offered to the tray host over com.canonical.dbusmenu: the host draws it and reports
// back what the user did. The layout is set whole; the host hears of every difference from
// what it was last given: new, gone or moved nodes as a layout update, and changed properties
// of nodes it already has as a properties update (hosts refresh only a few properties of a
// known node from a new layout).
#pragma once
#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <functional>

#include "platform/linux/tray/DbusTypes.h"

namespace veska {

// The call being answered is known to the object, not to its adaptor.
class DbusMenu : public QObject, public QDBusContext {
    Q_OBJECT
public:
    struct Handlers {
        // The host is about to show the node's children.
        std::function<void(int id)> aboutToShow;
        // The user chose the node; timestamp as the host gives it (0 when unknown).
        std::function<void(int id, uint timestamp)> clicked;
    };
    DbusMenu(QDBusConnection connection, const QString& path, Handlers handlers);
    ~DbusMenu() override;

    // Whether anything the host may show changed.
    bool SetLayout(MenuNode root);
    const MenuNode& Layout() const { return root_; }
    uint Revision() const { return revision_; }

    // The interface's methods, as the adaptor calls them. An empty error: done; else the reason
    // for an InvalidArgs answer.
    QString GetLayout(int parentId, int depth, const QStringList& names, MenuNode& out);
    MenuNodePropertiesList GetGroupProperties(const QList<int>& ids, const QStringList& names) const;
    QString GetProperty(int id, const QString& name, QVariant& out) const;
    QString Event(int id, const QString& eventId, uint timestamp);
    QString AboutToShow(int id, bool& changed);
    bool Has(int id) const;

signals:
    void LayoutUpdated(uint revision, int parent);
    void ItemsPropertiesUpdated(const QList<veska::MenuNodeProperties>& updated, const QList<veska::MenuNodeRemoved>& removed);

private:
    QDBusConnection connection_;
    QString path_;
    Handlers handlers_;
    MenuNode root_;
    uint revision_ = 1;
};

}  // namespace veska
