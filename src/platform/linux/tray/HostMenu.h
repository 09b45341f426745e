// Menus that the tray host draws. The tray icon pops its menus through TrackPopupMenu, knowing
// nothing of hosts; a MenuRequest lets the tray take the menu from that call instead (capture),
// or have the call return the entry the user chose in the host's menu (answer).
#pragma once
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/linux/tray/DbusTypes.h"
#include "vcl/Menus.h"

namespace veska {

struct MenuRequest {
    enum class Mode { None, Capture, Answer };
    Mode mode = Mode::None;
    TMenuRef menu;                                  // set by a captured pop-up
    std::function<void(TMenuItem&)> onSubmenuOpen;  // likewise
    TMenuItem* answer = nullptr;                    // the entry an answered pop-up returns
};

// The host's copy of one or more captured menus, one after the other with a line between, and
// the way back from the host's node numbers to the entries. An entry keeps its number for as
// long as it lives, and a number is never given to another: a host that still shows an old
// menu can only ever reach the entry it shows, or nothing.
class HostMenuLayout {
public:
    struct Slot {
        uint32_t button = 0;  // the press that pops this menu
        TMenuRef menu;
        std::function<void(TMenuItem&)> onSubmenuOpen;
    };
    struct Hit {
        std::size_t slot;
        TMenuItem* item;
    };
    std::vector<Slot> parts;

    MenuNode Build();
    // The entry behind a node, while its menu still holds it.
    std::optional<Hit> Find(int id) const;

private:
    struct Entry {
        std::size_t slot;
        unsigned long serial;  // 0: the line between two menus
    };
    int IdOf(unsigned long key, std::map<unsigned long, int>& kept);
    void Add(MenuNode& parent, TMenuItem& item, std::size_t slot, std::map<unsigned long, int>& kept);
    std::map<unsigned long, int> ids_;  // by item serial; lines between menus by ~slot
    std::map<int, Entry> entries_;
    int next_ = 1;
};

// The label of an entry in the host's notation: "_" marks the access key, where "&" did.
QString HostLabel(const Bytes& caption);

}  // namespace veska
