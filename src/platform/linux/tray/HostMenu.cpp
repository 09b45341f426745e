#include "platform/linux/tray/HostMenu.h"

#include <set>

#include "text/Codec.h"

namespace veska {

QString HostLabel(const Bytes& caption) {
    const QString text = QString::fromStdString(toUtf8(caption));
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'&' && i + 1 < text.size()) {
            ++i;
            out += text[i] == u'&' ? QStringLiteral("&") : text[i] == u'_' ? QStringLiteral("__") : QString(u'_') + text[i];
        } else if (c == u'_') {
            out += QStringLiteral("__");
        } else {
            out += c;
        }
    }
    return out;
}

int HostMenuLayout::IdOf(unsigned long key, Pass& pass, const Look* look) {
    int id;
    if (auto it = ids_.find(key); it != ids_.end()) {
        id = it->second;
    } else if (auto same = look ? pass.freed.find(*look) : pass.freed.end(); same != pass.freed.end()) {
        id = same->second;
        pass.freed.erase(same);
    } else {
        id = next_++;
    }
    pass.kept[key] = id;
    if (look) pass.looks[id] = *look;
    return id;
}

void HostMenuLayout::Add(MenuNode& parent, TMenuItem& item, std::size_t slot, Pass& pass) {
    const Look look{slot, parent.id, item.Caption, item.Hint, item.Name()};
    MenuNode node{IdOf(item.Serial(), pass, &look), {}, {}};
    entries_[node.id] = {slot, item.Serial()};
    if (item.IsLine()) {
        node.properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        node.properties.insert(QStringLiteral("label"), HostLabel(item.Caption));
        node.properties.insert(QStringLiteral("enabled"), item.Enabled);
        if (item.RadioItem || item.Checked()) {
            node.properties.insert(QStringLiteral("toggle-type"), item.RadioItem ? QStringLiteral("radio") : QStringLiteral("checkmark"));
            node.properties.insert(QStringLiteral("toggle-state"), item.Checked() ? 1 : 0);
        }
        if (item.Count() > 0) {
            node.properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
            for (int i = 0; i < item.Count(); ++i) Add(node, *item.Items(i), slot, pass);
        }
    }
    parent.children.append(node);
}

namespace {
void collectSerials(const TMenuItem& parent, std::set<unsigned long>& out) {
    for (int i = 0; i < parent.Count(); ++i) {
        out.insert(parent.Items(i)->Serial());
        collectSerials(*parent.Items(i), out);
    }
}
}  // namespace

MenuNode HostMenuLayout::Build() {
    Pass pass;
    std::set<unsigned long> alive;
    for (const Slot& part : parts)
        if (TPopupMenu* menu = part.menu.get()) collectSerials(*menu->Items(), alive);
    for (const auto& [serial, id] : ids_)
        if (auto look = looks_.find(id); look != looks_.end() && !alive.count(serial)) pass.freed.emplace(look->second, id);
    entries_.clear();
    MenuNode root;
    root.properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    for (std::size_t s = 0; s < parts.size(); ++s) {
        TPopupMenu* menu = parts[s].menu.get();
        if (!menu || menu->Items()->Count() == 0) continue;
        if (!root.children.isEmpty()) {
            const int id = IdOf(~static_cast<unsigned long>(s), pass);
            entries_[id] = {s, 0};
            root.children.append({id, {{QStringLiteral("type"), QStringLiteral("separator")}}, {}});
        }
        for (int i = 0; i < menu->Items()->Count(); ++i) Add(root, *menu->Items()->Items(i), s, pass);
    }
    ids_ = std::move(pass.kept);
    looks_ = std::move(pass.looks);
    return root;
}

namespace {
TMenuItem* bySerial(TMenuItem& parent, unsigned long serial) {
    for (int i = 0; i < parent.Count(); ++i) {
        TMenuItem* item = parent.Items(i);
        if (item->Serial() == serial) return item;
        if (TMenuItem* found = bySerial(*item, serial)) return found;
    }
    return nullptr;
}
}  // namespace

// Looked up by serial, never through a kept pointer: the entry may be gone, and another may
// stand at its address.
std::optional<HostMenuLayout::Hit> HostMenuLayout::Find(int id) const {
    auto it = entries_.find(id);
    if (it == entries_.end() || it->second.serial == 0) return std::nullopt;
    TPopupMenu* menu = parts[it->second.slot].menu.get();
    TMenuItem* item = menu ? bySerial(*menu->Items(), it->second.serial) : nullptr;
    if (!item) return std::nullopt;
    return Hit{it->second.slot, item};
}

}  // namespace veska
