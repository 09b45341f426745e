// A menu offered to the tray host over com.canonical.dbusmenu: the host draws it and reports
// back what the user did. The layout is set whole; the host is told each time it changes.
#pragma once
#include <QDBusConnection>
#include <QObject>
#include <functional>

#include "platform/linux/tray/DbusTypes.h"

namespace veska {

class DbusMenu : public QObject {
    Q_OBJECT
public:
    struct Handlers {
        // The host is about to show the node's children; true when the layout changed for it.
        std::function<bool(int id)> aboutToShow;
        // The user chose the node.
        std::function<void(int id)> clicked;
    };
    DbusMenu(QDBusConnection connection, const QString& path, Handlers handlers);
    ~DbusMenu() override;

    // Whether the layout changed; the host hears only of a change, unless told anyway (a host
    // that has just come reads the menu in the middle of its own start).
    bool SetLayout(MenuNode root, bool announce = false);
    const MenuNode& Layout() const { return root_; }
    uint Revision() const { return revision_; }

    // The interface's methods, as the adaptor calls them.
    uint GetLayout(int parentId, int depth, const QStringList& names, MenuNode& out) const;
    MenuNodePropertiesList GetGroupProperties(const QList<int>& ids, const QStringList& names) const;
    QDBusVariant GetProperty(int id, const QString& name) const;
    void Event(int id, const QString& eventId);
    bool AboutToShow(int id);

signals:
    void LayoutUpdated(uint revision, int parent);

private:
    const MenuNode* Find(int id) const;

    QDBusConnection connection_;
    QString path_;
    Handlers handlers_;
    MenuNode root_;
    uint revision_ = 1;
};

}  // namespace veska
