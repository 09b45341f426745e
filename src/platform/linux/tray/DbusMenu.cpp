#include "platform/linux/tray/DbusMenu.h"

#include <QDBusAbstractAdaptor>

namespace veska {

namespace {

const MenuNode* findIn(const MenuNode& node, int id) {
    if (node.id == id) return &node;
    for (const MenuNode& child : node.children)
        if (const MenuNode* found = findIn(child, id)) return found;
    return nullptr;
}

QVariantMap only(const QVariantMap& properties, const QStringList& names) {
    if (names.isEmpty()) return properties;
    QVariantMap out;
    for (const QString& n : names)
        if (properties.contains(n)) out.insert(n, properties.value(n));
    return out;
}

MenuNode cut(const MenuNode& node, int depth, const QStringList& names) {
    MenuNode out{node.id, only(node.properties, names), {}};
    if (depth != 0)
        for (const MenuNode& child : node.children) out.children.append(cut(child, depth < 0 ? -1 : depth - 1, names));
    return out;
}

}  // namespace

class DbusMenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ Version)
    Q_PROPERTY(QString TextDirection READ TextDirection)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(QStringList IconThemePath READ IconThemePath)
public:
    explicit DbusMenuAdaptor(DbusMenu* menu) : QDBusAbstractAdaptor(menu), menu_(menu) {
        connect(menu, &DbusMenu::LayoutUpdated, this, &DbusMenuAdaptor::LayoutUpdated);
    }
    uint Version() const { return 3; }
    QString TextDirection() const { return QStringLiteral("ltr"); }
    QString Status() const { return QStringLiteral("normal"); }
    QStringList IconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, veska::MenuNode& layout) {
        return menu_->GetLayout(parentId, recursionDepth, propertyNames, layout);
    }
    QList<veska::MenuNodeProperties> GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames) {
        return menu_->GetGroupProperties(ids, propertyNames);
    }
    QDBusVariant GetProperty(int id, const QString& name) { return menu_->GetProperty(id, name); }
    void Event(int id, const QString& eventId, const QDBusVariant&, uint) { menu_->Event(id, eventId); }
    QList<int> EventGroup(const QList<veska::MenuEvent>& events) {
        for (const MenuEvent& e : events) menu_->Event(e.id, e.eventId);
        return {};
    }
    bool AboutToShow(int id) { return menu_->AboutToShow(id); }
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
        idErrors.clear();
        QList<int> updated;
        for (int id : ids)
            if (menu_->AboutToShow(id)) updated.append(id);
        return updated;
    }

signals:
    void ItemsPropertiesUpdated(const QList<veska::MenuNodeProperties>& updatedProps,
                                const QList<veska::MenuNodeRemoved>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    DbusMenu* menu_;
};

DbusMenu::DbusMenu(QDBusConnection connection, const QString& path, Handlers handlers)
    : connection_(std::move(connection)), path_(path), handlers_(std::move(handlers)) {
    RegisterDbusTypes();
    new DbusMenuAdaptor(this);
    connection_.registerObject(path_, this);
}

DbusMenu::~DbusMenu() { connection_.unregisterObject(path_); }

bool DbusMenu::SetLayout(MenuNode root, bool announce) {
    root.id = 0;
    const bool changed = !(root == root_);
    if (!changed && !announce) return false;
    root_ = std::move(root);
    ++revision_;
    emit LayoutUpdated(revision_, 0);
    return changed;
}

const MenuNode* DbusMenu::Find(int id) const { return findIn(root_, id); }

uint DbusMenu::GetLayout(int parentId, int depth, const QStringList& names, MenuNode& out) const {
    const MenuNode* node = Find(parentId);
    out = node ? cut(*node, depth, names) : MenuNode{parentId, {}, {}};
    return revision_;
}

MenuNodePropertiesList DbusMenu::GetGroupProperties(const QList<int>& ids, const QStringList& names) const {
    MenuNodePropertiesList out;
    for (int id : ids)
        if (const MenuNode* node = Find(id)) out.append({id, only(node->properties, names)});
    return out;
}

QDBusVariant DbusMenu::GetProperty(int id, const QString& name) const {
    const MenuNode* node = Find(id);
    return QDBusVariant(node ? node->properties.value(name) : QVariant());
}

void DbusMenu::Event(int id, const QString& eventId) {
    if (eventId == QLatin1String("clicked") && handlers_.clicked) handlers_.clicked(id);
}

bool DbusMenu::AboutToShow(int id) { return handlers_.aboutToShow ? handlers_.aboutToShow(id) : false; }

}  // namespace veska

#include "DbusMenu.moc"
