// A form owning the tray icons under test, on the scripted platform.
#pragma once
#include <gtest/gtest.h>

#include <QImage>
#include <memory>

#include "TrayIcon/TrayIcon.h"
#include "platform/scripted/ScriptedPlatform.h"
#include "text/Codec.h"

namespace veska {

inline QImage SolidImage(QRgb colour) {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(colour);
    return img;
}

class TrayFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(TTrayIcon::TrayIconIDs().empty()) << "an earlier test left icons alive"; }
    // The form goes first, taking its icons and the callback window with it.
    void TearDown() override { form.reset(); }

    TTrayIcon* NewIcon() { return new TTrayIcon(form.get(), sp); }
    TTrayIcon* ShownIcon() {
        TTrayIcon* icon = NewIcon();
        icon->Icon().SetImage(SolidImage(qRgb(0, 0, 255)));
        icon->SetVisible(true);
        return icon;
    }
    void Post(uint32_t id, uint32_t mouse) {
        ASSERT_NE(TTrayIcon::CallbackWindow(), nullptr);
        sp.tray.Post(TTrayIcon::CallbackWindow()->Handle(), WM_TRAYCALLBACK, id, mouse);
    }
    const ScriptedTray::Call& LastCall() { return sp.tray.calls.back(); }

    ScriptedPlatform sp;
    std::unique_ptr<TComponent> form = std::make_unique<TComponent>(nullptr);
};

}  // namespace veska
