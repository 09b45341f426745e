// Message boxes, the cursor and popup menus on the Linux desktop, through Qt Widgets.
#pragma once
#include <functional>

#include "platform/Platform.h"
#include "vcl/Menus.h"

class QAction;
class QMenu;

namespace veska {

struct MenuRequest;

class LinuxDesktop : public IDesktop {
public:
    // requests: where the tray asks for a pop-up's menu, or answers it, for a host that draws it.
    explicit LinuxDesktop(MenuRequest* requests = nullptr) : requests_(requests) {}
    int MessageBox(const Bytes& text, const Bytes& caption, uint32_t type) override;
    void SetForegroundWindow() override;
    Point GetCursorPos() override;
    void ProcessMessages() override;
    TMenuItem* TrackPopupMenu(TPopupMenu& menu, int x, int y,
                              const std::function<void(TMenuItem&)>& onSubmenuOpen) override;
    void Quit() override;

    // Fills qmenu from the menu's items. Each time a submenu opens, onSubmenuOpen runs for its
    // parent item and the submenu is filled again from the items as they are then.
    static void BuildQMenu(QMenu& qmenu, TPopupMenu& menu, std::function<void(TMenuItem&)> onSubmenuOpen);
    // The item behind an action of such a QMenu; null when the menu or the item is gone.
    static TMenuItem* ItemOf(const TMenuRef& menu, const QAction* action);

private:
    MenuRequest* requests_;
    bool processing_ = false;
    bool tracking_ = false;
};

}  // namespace veska
