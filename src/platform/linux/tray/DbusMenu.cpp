#include "platform/linux/tray/DbusMenu.h"

#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QSet>
#include <map>

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

struct Flat {
    const QVariantMap* properties;
    QList<int> children;
};

void flatten(const MenuNode& node, std::map<int, Flat>& out) {
    Flat& f = out[node.id];
    f.properties = &node.properties;
    for (const MenuNode& child : node.children) {
        f.children.append(child.id);
        flatten(child, out);
    }
}

QString unknown(int id) { return QStringLiteral("no menu entry %1").arg(id); }

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
        connect(menu, &DbusMenu::ItemsPropertiesUpdated, this, &DbusMenuAdaptor::ItemsPropertiesUpdated);
    }
    uint Version() const { return 3; }
    QString TextDirection() const { return QStringLiteral("ltr"); }
    QString Status() const { return QStringLiteral("normal"); }
    QStringList IconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, veska::MenuNode& layout) {
        Answer(menu_->GetLayout(parentId, recursionDepth, propertyNames, layout));
        return menu_->Revision();
    }
    QList<veska::MenuNodeProperties> GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames) {
        return menu_->GetGroupProperties(ids, propertyNames);
    }
    QDBusVariant GetProperty(int id, const QString& name) {
        QVariant value;
        // Qt sends nothing for an invalid variant, so a refused call must answer with the error.
        if (!Answer(menu_->GetProperty(id, name, value))) value = 0;
        return QDBusVariant(value);
    }
    void Event(int id, const QString& eventId, const QDBusVariant&, uint timestamp) {
        Answer(menu_->Event(id, eventId, timestamp));
    }
    QList<int> EventGroup(const QList<veska::MenuEvent>& events) {
        QList<int> errors;
        for (const MenuEvent& e : events)
            if (!menu_->Event(e.id, e.eventId, e.timestamp).isEmpty()) errors.append(e.id);
        if (!events.isEmpty() && errors.size() == events.size()) Answer(QStringLiteral("no such menu entries"));
        return errors;
    }
    bool AboutToShow(int id) {
        bool changed = false;
        Answer(menu_->AboutToShow(id, changed));
        return changed;
    }
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
        idErrors.clear();
        QList<int> updated;
        // A node named many times is about to show once: its check runs once.
        QSet<int> asked;
        for (int id : ids) {
            if (asked.contains(id)) continue;
            asked.insert(id);
            bool changed = false;
            if (!menu_->AboutToShow(id, changed).isEmpty())
                idErrors.append(id);
            else if (changed)
                updated.append(id);
        }
        if (!asked.isEmpty() && idErrors.size() == asked.size()) Answer(QStringLiteral("no such menu entries"));
        return updated;
    }

signals:
    void ItemsPropertiesUpdated(const QList<veska::MenuNodeProperties>& updatedProps,
                                const QList<veska::MenuNodeRemoved>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    bool Answer(const QString& error) {
        if (error.isEmpty()) return true;
        if (menu_->calledFromDBus()) menu_->sendErrorReply(QDBusError::InvalidArgs, error);
        return false;
    }
    DbusMenu* menu_;
};

DbusMenu::DbusMenu(QDBusConnection connection, const QString& path, Handlers handlers)
    : connection_(std::move(connection)), path_(path), handlers_(std::move(handlers)) {
    root_.properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    RegisterDbusTypes();
    new DbusMenuAdaptor(this);
    connection_.registerObject(path_, this);
}

DbusMenu::~DbusMenu() { connection_.unregisterObject(path_); }

bool DbusMenu::SetLayout(MenuNode root) {
    root.id = 0;
    std::map<int, Flat> before, after;
    flatten(root_, before);
    flatten(root, after);
    MenuNodePropertiesList updated;
    MenuNodeRemovedList removed;
    std::vector<int> reshaped;
    for (const auto& [id, now] : after) {
        auto was = before.find(id);
        if (was == before.end()) continue;  // new: it comes with the layout
        if (was->second.children != now.children) reshaped.push_back(id);
        const QVariantMap& old = *was->second.properties;
        QVariantMap changed;
        QStringList gone;
        for (auto p = now.properties->begin(); p != now.properties->end(); ++p)
            if (old.value(p.key()) != p.value()) changed.insert(p.key(), p.value());
        for (auto p = old.begin(); p != old.end(); ++p)
            if (!now.properties->contains(p.key())) gone.append(p.key());
        if (!changed.isEmpty()) updated.append({id, changed});
        if (!gone.isEmpty()) removed.append({id, gone});
    }
    if (reshaped.empty() && updated.isEmpty() && removed.isEmpty()) return false;
    root_ = std::move(root);
    if (!updated.isEmpty() || !removed.isEmpty()) emit ItemsPropertiesUpdated(updated, removed);
    if (!reshaped.empty()) {
        ++revision_;
        emit LayoutUpdated(revision_, reshaped.size() == 1 ? reshaped.front() : 0);
    }
    return true;
}

bool DbusMenu::Has(int id) const { return findIn(root_, id) != nullptr; }

QString DbusMenu::GetLayout(int parentId, int depth, const QStringList& names, MenuNode& out) {
    const MenuNode* node = findIn(root_, parentId);
    if (!node) return unknown(parentId);
    out = cut(*node, depth, names);
    return {};
}

MenuNodePropertiesList DbusMenu::GetGroupProperties(const QList<int>& ids, const QStringList& names) const {
    MenuNodePropertiesList out;
    for (int id : ids)
        if (const MenuNode* node = findIn(root_, id)) out.append({id, only(node->properties, names)});
    return out;
}

QString DbusMenu::GetProperty(int id, const QString& name, QVariant& out) const {
    const MenuNode* node = findIn(root_, id);
    if (!node) return unknown(id);
    if (!node->properties.contains(name)) return QStringLiteral("menu entry %1 has no property %2").arg(id).arg(name);
    out = node->properties.value(name);
    return {};
}

QString DbusMenu::Event(int id, const QString& eventId, uint timestamp) {
    if (!findIn(root_, id)) return unknown(id);
    if (eventId == QLatin1String("clicked") && handlers_.clicked) handlers_.clicked(id, timestamp);
    return {};
}

QString DbusMenu::AboutToShow(int id, bool& changed) {
    if (!findIn(root_, id)) return unknown(id);
    const uint revision = revision_;
    const MenuNode before = root_;
    if (handlers_.aboutToShow) handlers_.aboutToShow(id);
    changed = revision != revision_ || !(before == root_);
    return {};
}

}  // namespace veska

#include "DbusMenu.moc"
