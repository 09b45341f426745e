// TTrayIcon puts one icon into the notification area, keeps the shell's copy of it up to date
// and turns the shell's mouse notifications into menu pop-ups and events. TCallbackWindow is
// the one hidden window of the process that receives those notifications.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/Platform.h"
#include "vcl/Component.h"
#include "vcl/Graphics.h"
#include "vcl/Menus.h"

namespace veska {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;

using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;

constexpr uint32_t WM_TRAYCALLBACK = WM_USER + 200;  // 1224

class TCallbackWindow : public TComponent {
public:
    TCallbackWindow(TComponent* AOwner, Platform& platform);
    ~TCallbackWindow() override;
    uint32_t Handle() const { return handle_; }
    // The handler of message 1224: wParam is the icon's identifier, lParam the mouse message.
    void WMTrayCallback(uint32_t wParam, uint32_t lParam);

private:
    Platform& platform_;
    uint32_t handle_ = 0;
};

class TTrayIcon : public TComponent {
public:
    // Raises EOutOfMemory "タスクトレイにアイコンを登録できません。" when no IconID is left;
    // the half-built icon then leaves no row and makes no shell call.
    TTrayIcon(TComponent* AOwner, Platform& platform);
    ~TTrayIcon() override;
    void Loaded() override;

    bool AutoPopup() const { return autoPopup_; }
    void SetAutoPopup(bool v) { autoPopup_ = v; }
    TIcon& Icon() { return *icon_; }
    // Copies the image; none empties Icon and hides the icon.
    void SetIcon(const TIcon* value);
    const Bytes& TipHelp() const { return tipHelp_; }
    void SetTipHelp(const Bytes& value);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);

    TMenuRef LBPopupMenu;
    TMenuRef RBPopupMenu;
    TNotifyEvent OnDblClick;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

    uint32_t IconID() const { return iconId_; }
    bool Registered() const { return registered_; }
    const NotifyIconData* NotifyData() const { return notifyData_.get(); }

    // 0 add, 1 modify, 2 delete.
    void ShellNotify(int operation);

    // Unit-level state, for tests: the live icons' identifiers in list order, and the process's
    // callback window (none until the first icon is built in run mode).
    static std::vector<uint32_t> TrayIconIDs();
    static TCallbackWindow* CallbackWindow();
    // Forgets the callback window (its owner is going away).
    static void ResetCallbackWindow();

private:
    friend class TCallbackWindow;
    void IconChanged();
    void PopupAt(TPopupMenu* menu, int x, int y);
    static TTrayIcon* Find(uint32_t id);
    // One mouse message from the shell, dispatched to a pop-up or an event.
    void MouseMessage(uint32_t message);
    void ButtonDown(const TMenuRef& menu, TMouseButton button, TShiftState shift, Point at);
    void ButtonUp(TMouseButton button, TShiftState shift, Point at);

    Platform& platform_;
    bool autoPopup_ = true;
    std::unique_ptr<TIcon> icon_;
    Bytes tipHelp_;
    bool visible_ = false;
    uint32_t iconId_ = 0;
    bool registered_ = false;
    std::unique_ptr<NotifyIconData> notifyData_;
};

}  // namespace veska
