#include "TrayIcon/TrayIcon.h"

namespace veska {

TCallbackWindow::TCallbackWindow(TComponent* AOwner, Platform& platform) : TComponent(AOwner), platform_(platform) {
    // The window procedure touches nothing after the handler: the handler may destroy this window.
    handle_ = platform_.tray->CreateCallbackWindow([this](uint32_t message, uint32_t wParam, uint32_t lParam) {
        if (message == WM_TRAYCALLBACK) WMTrayCallback(wParam, lParam);
    });
}

TCallbackWindow::~TCallbackWindow() {
    if (TTrayIcon::CallbackWindow() == this) TTrayIcon::ResetCallbackWindow();
    if (handle_) platform_.tray->DestroyCallbackWindow(handle_);
}

void TCallbackWindow::WMTrayCallback(uint32_t wParam, uint32_t lParam) {
    if (TTrayIcon* icon = TTrayIcon::Find(wParam)) icon->MouseMessage(lParam);
}

}  // namespace veska
