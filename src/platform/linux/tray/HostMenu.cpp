#include "platform/linux/tray/HostMenu.h"

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

void HostMenuLayout::Add(MenuNode& parent, TMenuItem& item, std::size_t slot) {
    ids_.push_back({slot, &item});
    MenuNode node{static_cast<int>(ids_.size()), {}, {}};
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
            for (int i = 0; i < item.Count(); ++i) Add(node, *item.Items(i), slot);
        }
    }
    parent.children.append(node);
}

MenuNode HostMenuLayout::Build() {
    ids_.clear();
    MenuNode root;
    root.properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    for (std::size_t s = 0; s < parts.size(); ++s) {
        TPopupMenu* menu = parts[s].menu.get();
        if (!menu || menu->Items()->Count() == 0) continue;
        if (!root.children.isEmpty()) {
            ids_.push_back({s, nullptr});
            root.children.append({static_cast<int>(ids_.size()), {{QStringLiteral("type"), QStringLiteral("separator")}}, {}});
        }
        for (int i = 0; i < menu->Items()->Count(); ++i) Add(root, *menu->Items()->Items(i), s);
    }
    return root;
}

std::optional<HostMenuLayout::Hit> HostMenuLayout::Find(int id) const {
    if (id < 1 || static_cast<std::size_t>(id) > ids_.size()) return std::nullopt;
    const Hit& hit = ids_[static_cast<std::size_t>(id) - 1];
    TPopupMenu* menu = parts[hit.slot].menu.get();
    if (!hit.item || !menu || !menu->Items()->Holds(hit.item)) return std::nullopt;
    return hit;
}

}  // namespace veska
