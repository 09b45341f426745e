#include "vcl/Menus.h"

#include <algorithm>
#include <unordered_map>

namespace veska {

namespace {
// Live popup menus by address, with a serial so that a reused address is not taken for the old menu.
std::unordered_map<const TPopupMenu*, unsigned long>& liveMenus() {
    static std::unordered_map<const TPopupMenu*, unsigned long> m;
    return m;
}
unsigned long nextSerial = 1;
std::vector<TMenuWatch*>& watches() {
    static auto* w = new std::vector<TMenuWatch*>;  // items may still go at exit
    return *w;
}
}  // namespace

TMenuWatch::TMenuWatch(std::function<void()> changed) : changed_(std::move(changed)) { watches().push_back(this); }

TMenuWatch::~TMenuWatch() { watches().erase(std::remove(watches().begin(), watches().end(), this), watches().end()); }

void TMenuWatch::Changed() {
    // A watch may end while it is told.
    const std::vector<TMenuWatch*> now = watches();
    for (TMenuWatch* w : now)
        if (std::find(watches().begin(), watches().end(), w) != watches().end() && w->changed_) w->changed_();
}

unsigned long TMenuItem::nextSerial_ = 1;

TMenuItem::~TMenuItem() {
    while (!items_.empty()) delete items_.back();
    if (parent_) {
        auto& sib = parent_->items_;
        sib.erase(std::remove(sib.begin(), sib.end(), this), sib.end());
        TMenuWatch::Changed();
    }
}

void TMenuItem::SetChecked(bool v) {
    checked_ = v;
    if (v && RadioItem && parent_) {
        for (TMenuItem* s : parent_->items_)
            if (s != this && s->RadioItem && s->GroupIndex == GroupIndex) s->checked_ = false;
    }
    TMenuWatch::Changed();
}

bool TMenuItem::Holds(const TMenuItem* item) const {
    for (const TMenuItem* child : items_)
        if (child == item || child->Holds(item)) return true;
    return false;
}

int TMenuItem::MenuIndex() const {
    if (!parent_) return -1;
    auto it = std::find(parent_->items_.begin(), parent_->items_.end(), this);
    return static_cast<int>(it - parent_->items_.begin());
}

void TMenuItem::Add(TMenuItem* item) {
    if (item->parent_) {
        auto& sib = item->parent_->items_;
        sib.erase(std::remove(sib.begin(), sib.end(), item), sib.end());
    }
    item->parent_ = this;
    items_.push_back(item);
    TMenuWatch::Changed();
}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner), items_(new TMenuItem(nullptr)) {
    liveMenus()[this] = nextSerial++;
}

TPopupMenu::~TPopupMenu() {
    liveMenus().erase(this);
    delete items_;
}

TMenuRef::TMenuRef(TPopupMenu* m) : menu_(m) {
    if (m) serial_ = liveMenus().at(m);
}

TPopupMenu* TMenuRef::get() const {
    if (!menu_) return nullptr;
    auto it = liveMenus().find(menu_);
    return (it != liveMenus().end() && it->second == serial_) ? menu_ : nullptr;
}

}  // namespace veska
