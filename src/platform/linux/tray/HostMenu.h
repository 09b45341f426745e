// Menus that the tray host draws. The tray icon pops its menus through TrackPopupMenu, knowing
// nothing of hosts; a MenuRequest lets the tray take the menu from that call instead (capture),
// or have the call return the entry the user chose in the host's menu (answer).
#pragma once
#include <functional>
#include <map>
#include <optional>
#include <tuple>
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
// long as it lives. A number passes on only to the entry that replaces a gone one in a rebuilt
// menu and shows and runs the same (caption, path and name, under the same parent), so a host
// that still shows an old menu can only ever reach what it shows, or nothing; and a host that
// applies a change only once its menu is open (GNOME's) rebuilds no more than what changed.
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
    // What a host's click on an entry does, and where the entry stands.
    using Look = std::tuple<std::size_t, int, Bytes, Bytes, Bytes>;  // slot, parent, caption, hint, name
    struct Pass {
        std::map<unsigned long, int> kept;
        std::multimap<Look, int> freed;  // numbers of the entries gone since the last build
        std::map<int, Look> looks;
    };
    int IdOf(unsigned long key, Pass& pass, const Look* look = nullptr);
    void Add(MenuNode& parent, TMenuItem& item, std::size_t slot, Pass& pass);
    std::map<unsigned long, int> ids_;  // by item serial; lines between menus by ~slot
    std::map<int, Look> looks_;
    std::map<int, Entry> entries_;
    int next_ = 1;
};

// The label of an entry in the host's notation: "_" marks the access key, where "&" did.
QString HostLabel(const Bytes& caption);

}  // namespace veska
