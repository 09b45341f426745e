#include "TrayIcon/TrayIcon.h"

#include <algorithm>
#include <cstring>

#include "vcl/ErrorBox.h"
#include "text/Codec.h"
#include "vcl/Exception.h"

namespace veska {

namespace {

constexpr std::size_t TipLimit = 62;

struct Row {
    uint32_t id;
    TTrayIcon* icon;
};

// The live icons in creation order, hence in ascending IconID order.
std::vector<Row>& trayIconList() {
    static std::vector<Row> list;
    return list;
}

TCallbackWindow* callbackWindow = nullptr;

[[noreturn]] void registrationError() { throw EOutOfMemory(sj("タスクトレイにアイコンを登録できません。")); }

void removeRow(const TTrayIcon* icon) {
    auto& list = trayIconList();
    list.erase(std::remove_if(list.begin(), list.end(), [&](const Row& r) { return r.icon == icon; }), list.end());
}

// Runs the item's click with a copy of the handler: the handler may destroy the item.
void click(IDesktop& desktop, TMenuItem& item) {
    TNotifyEvent handler = item.OnClick;
    if (handler) Guarded(desktop, [&] { handler(&item); });
}

}  // namespace

TTrayIcon::TTrayIcon(TComponent* AOwner, Platform& platform)
    : TComponent(AOwner), platform_(platform), icon_(std::make_unique<TIcon>()) {
    // A component placed on a form in the designer is being designed too.
    if (AOwner && AOwner->Designing()) SetDesigning(true);
    if (!Designing()) icon_->OnChange = [this] { IconChanged(); };
    tipHelp_ = "TipHelp";

    auto& list = trayIconList();
    uint32_t id = list.empty() ? 1 : list.back().id + 1;
    if (id > 999) registrationError();
    iconId_ = id;
    list.push_back({id, this});
    if (Designing()) return;

    try {
        if (!callbackWindow) callbackWindow = new TCallbackWindow(AOwner, platform_);
        notifyData_ = std::make_unique<NotifyIconData>();
        notifyData_->cbSize = sizeof(NotifyIconData);
        notifyData_->uCallbackMessage = WM_TRAYCALLBACK;
        notifyData_->uID = iconId_;
        notifyData_->hWnd = callbackWindow->Handle();
    } catch (...) {
        removeRow(this);
        throw;
    }
}

TTrayIcon::~TTrayIcon() {
    icon_->OnChange = nullptr;
    if (registered_ && notifyData_) {
        try {
            ShellNotify(NIM_DELETE);
        } catch (...) {
            // Nothing may leave a destructor; a failed delete goes unnoticed anyway.
        }
    }
    removeRow(this);
}

void TTrayIcon::Loaded() {
    try {
        if (!Designing()) ShellNotify(NIM_ADD);
    } catch (...) {
        TComponent::Loaded();
        throw;
    }
    TComponent::Loaded();
}

void TTrayIcon::SetIcon(const TIcon* value) {
    if (value == icon_.get()) return;
    if (value) {
        icon_->Assign(*value);
        return;
    }
    icon_->ReleaseHandle();
    icon_->SetImage(QImage());
    SetVisible(false);
}

void TTrayIcon::SetTipHelp(const Bytes& value) {
    Bytes tip = cutBytes(value, TipLimit);
    if (tip == tipHelp_) return;
    tipHelp_ = tip;
    if (!Designing() && registered_) ShellNotify(NIM_MODIFY);
}

void TTrayIcon::SetVisible(bool value) {
    if (value == visible_) return;
    visible_ = value && !icon_->Empty();
    if (Designing() || Loading()) return;
    if (visible_)
        ShellNotify(NIM_ADD);
    else if (registered_)
        ShellNotify(NIM_DELETE);
}

void TTrayIcon::IconChanged() {
    if (registered_) ShellNotify(NIM_MODIFY);
}

void TTrayIcon::ShellNotify(int operation) {
    if (Designing() || !notifyData_) return;
    NotifyIconData& d = *notifyData_;
    d.hIcon = icon_->Handle();
    std::memset(d.szTip, 0, sizeof d.szTip);
    std::memcpy(d.szTip, tipHelp_.data(), std::min(tipHelp_.size(), sizeof d.szTip - 1));
    d.uFlags = NIF_MESSAGE | NIF_ICON | (tipHelp_.empty() ? 0 : NIF_TIP);
    const QImage* image = d.hIcon ? &icon_->Image() : nullptr;

    switch (operation) {
    case NIM_ADD:
        if (!visible_) return;
        if (!platform_.tray->ShellNotifyIcon(NIM_ADD, d, image)) registrationError();
        registered_ = true;
        break;
    case NIM_MODIFY:
        if (!platform_.tray->ShellNotifyIcon(NIM_MODIFY, d, image)) registrationError();
        break;
    case NIM_DELETE:
        platform_.tray->ShellNotifyIcon(NIM_DELETE, d, image);
        registered_ = false;
        break;
    default:
        break;
    }
}

std::vector<uint32_t> TTrayIcon::TrayIconIDs() {
    std::vector<uint32_t> ids;
    for (const Row& r : trayIconList()) ids.push_back(r.id);
    return ids;
}

TCallbackWindow* TTrayIcon::CallbackWindow() { return callbackWindow; }

void TTrayIcon::ResetCallbackWindow() { callbackWindow = nullptr; }

TTrayIcon* TTrayIcon::Find(uint32_t id) {
    for (const Row& r : trayIconList())
        if (r.id == id) return r.icon;
    return nullptr;
}

// Every handler gets copies of what it needs: any of them may destroy this icon.
void TTrayIcon::MouseMessage(uint32_t message) {
    IDesktop& desktop = *platform_.desktop;
    Point at = desktop.GetCursorPos();
    switch (message) {
    case WM_MOUSEMOVE:
        if (TMouseMoveEvent handler = OnMouseMove) Guarded(desktop, [&] { handler(this, 0, at.x, at.y); });
        break;
    case WM_LBUTTONDOWN:
        ButtonDown(LBPopupMenu, TMouseButton::mbLeft, ssLeft, at);
        break;
    case WM_LBUTTONUP:
        ButtonUp(TMouseButton::mbLeft, ssLeft, at);
        break;
    case WM_LBUTTONDBLCLK:
        if (TNotifyEvent handler = OnDblClick) Guarded(desktop, [&] { handler(this); });
        break;
    case WM_RBUTTONDOWN:
        ButtonDown(RBPopupMenu, TMouseButton::mbRight, ssRight, at);
        break;
    case WM_RBUTTONUP:
        ButtonUp(TMouseButton::mbRight, ssRight, at);
        break;
    case WM_MBUTTONDOWN:
        ButtonDown(TMenuRef(), TMouseButton::mbMiddle, ssMiddle, at);
        break;
    case WM_MBUTTONUP:
        ButtonUp(TMouseButton::mbMiddle, ssMiddle, at);
        break;
    default:
        break;
    }
}

void TTrayIcon::ButtonDown(const TMenuRef& menu, TMouseButton button, TShiftState shift, Point at) {
    if (TPopupMenu* m = menu.get(); m && autoPopup_) {
        PopupAt(m, at.x, at.y);
    } else if (TMouseEvent handler = OnMouseDown) {
        Guarded(*platform_.desktop, [&] { handler(this, button, shift, at.x, at.y); });
    }
}

void TTrayIcon::ButtonUp(TMouseButton button, TShiftState shift, Point at) {
    if (TMouseEvent handler = OnMouseUp) Guarded(*platform_.desktop, [&] { handler(this, button, shift, at.x, at.y); });
}

// Once the pending messages have run, neither this icon nor the menu is known to be alive:
// only the desktop and the menu reference are used from there on.
void TTrayIcon::PopupAt(TPopupMenu* menu, int x, int y) {
    IDesktop& desktop = *platform_.desktop;
    TMenuRef ref(menu);
    desktop.SetForegroundWindow();
    desktop.ProcessMessages();

    TPopupMenu* m = ref.get();
    if (!m) return;
    if (TNotifyEvent handler = m->OnPopup) {
        // A failed pop-up check shows its error and the menu stays closed.
        bool checked = false;
        Guarded(desktop, [&] {
            handler(m);
            checked = true;
        });
        if (!checked) return;
    }
    if (!(m = ref.get())) return;

    TMenuItem* chosen = desktop.TrackPopupMenu(*m, x, y, [&desktop](TMenuItem& parent) { click(desktop, parent); });
    // A submenu's click may have rebuilt the menu while it was open.
    if (!chosen || !(m = ref.get()) || !m->Items()->Holds(chosen)) return;
    click(desktop, *chosen);
}

}  // namespace veska
