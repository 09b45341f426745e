// Menus as data: items carry Caption, Hint, Name and their click handler; a platform tracker
// shows them. A caption of exactly "-" makes a separator line.
#pragma once
#include <functional>
#include <vector>

#include "vcl/Component.h"

namespace veska {

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}
    ~TMenuItem() override;  // frees its sub-items and leaves its parent

    Bytes Caption;
    Bytes Hint;
    bool Enabled = true;
    bool RadioItem = false;
    int GroupIndex = 0;
    TNotifyEvent OnClick;

    bool Checked() const { return checked_; }
    // Checking a radio item unchecks the other radio items of its group among its siblings.
    void SetChecked(bool v);
    bool IsLine() const { return Caption == "-"; }
    // Never given to another item, even at a reused address.
    unsigned long Serial() const { return serial_; }

    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int i) const { return items_.at(static_cast<std::size_t>(i)); }
    TMenuItem* Parent() const { return parent_; }
    // Whether the item stands anywhere below this one (a handler may have removed it).
    bool Holds(const TMenuItem* item) const;
    int MenuIndex() const;
    void Add(TMenuItem* item);
    void Click() {
        if (OnClick) OnClick(this);
    }

private:
    static unsigned long nextSerial_;
    const unsigned long serial_ = nextSerial_++;
    bool checked_ = false;
    TMenuItem* parent_ = nullptr;
    std::vector<TMenuItem*> items_;
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* AOwner);
    ~TPopupMenu() override;
    TMenuItem* Items() const { return items_; }
    TNotifyEvent OnPopup;

private:
    TMenuItem* items_;
};

// Hears of every entry added to or removed from a menu and of every check mark set, anywhere:
// a copy of the menus shown elsewhere follows them without waiting for a moment to look.
class TMenuWatch {
public:
    explicit TMenuWatch(std::function<void()> changed);
    ~TMenuWatch();
    TMenuWatch(const TMenuWatch&) = delete;
    TMenuWatch& operator=(const TMenuWatch&) = delete;
    static void Changed();

private:
    std::function<void()> changed_;
};

// Reference to a popup menu that drops to none when the menu is destroyed.
class TMenuRef {
public:
    TMenuRef() = default;
    TMenuRef(TPopupMenu* m);  // NOLINT: plain assignment reads like the framework's field writes
    TPopupMenu* get() const;
    operator TPopupMenu*() const { return get(); }  // NOLINT
    TPopupMenu* operator->() const { return get(); }

private:
    TPopupMenu* menu_ = nullptr;
    unsigned long serial_ = 0;
};

}  // namespace veska
