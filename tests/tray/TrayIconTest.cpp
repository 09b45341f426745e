// Identifiers, the shell record, the tooltip, visibility and image changes of TTrayIcon.
#include <cstring>

#include "TrayFixture.h"
#include "vcl/Exception.h"

namespace veska {
namespace {

using Ids = std::vector<uint32_t>;
const char* const RegistrationError = "タスクトレイにアイコンを登録できません。";

Bytes TipOf(const NotifyIconData& d) { return Bytes(d.szTip, strnlen(d.szTip, sizeof d.szTip)); }

class TrayIdTest : public TrayFixture {};

TEST_F(TrayIdTest, FirstIsOneThenLastPlusOneAndFreedNumbersComeBackOnlyAtTheEnd) {
    TTrayIcon* a = NewIcon();
    TTrayIcon* b = NewIcon();
    TTrayIcon* c = NewIcon();
    EXPECT_EQ(a->IconID(), 1u);
    EXPECT_EQ(b->IconID(), 2u);
    EXPECT_EQ(c->IconID(), 3u);

    delete c;
    delete b;
    TTrayIcon* d = NewIcon();
    EXPECT_EQ(d->IconID(), 2u);

    // A gap in the middle is not reused: the next one follows the last row.
    TTrayIcon* e = NewIcon();
    delete d;
    EXPECT_EQ(TTrayIcon::TrayIconIDs(), (Ids{1, 3}));
    EXPECT_EQ(NewIcon()->IconID(), 4u);
    EXPECT_EQ(e->IconID(), 3u);
    delete a;
    EXPECT_EQ(TTrayIcon::TrayIconIDs(), (Ids{3, 4}));
}

TEST_F(TrayIdTest, RecordIsFilledOnceAndAllIconsShareOneCallbackWindow) {
    TTrayIcon* a = NewIcon();
    TTrayIcon* b = NewIcon();
    ASSERT_NE(TTrayIcon::CallbackWindow(), nullptr);
    EXPECT_EQ(sp.tray.windows.size(), 1u);
    uint32_t hWnd = TTrayIcon::CallbackWindow()->Handle();
    EXPECT_NE(hWnd, 0u);
    for (TTrayIcon* icon : {a, b}) {
        const NotifyIconData* d = icon->NotifyData();
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->cbSize, 88u);
        EXPECT_EQ(d->hWnd, hWnd);
        EXPECT_EQ(d->uID, icon->IconID());
        EXPECT_EQ(d->uCallbackMessage, 1224u);
    }
    EXPECT_TRUE(sp.tray.calls.empty());
    EXPECT_EQ(a->TipHelp(), "TipHelp");
    EXPECT_TRUE(a->AutoPopup());
    EXPECT_FALSE(a->Visible());
}

TEST_F(TrayIdTest, CallbackWindowGoesWithItsOwnerAndIsMadeAgainForTheNextIcon) {
    NewIcon();
    form.reset();
    EXPECT_EQ(TTrayIcon::CallbackWindow(), nullptr);
    EXPECT_TRUE(sp.tray.windows.empty());
    form = std::make_unique<TComponent>(nullptr);
    TTrayIcon* icon = NewIcon();
    ASSERT_NE(TTrayIcon::CallbackWindow(), nullptr);
    EXPECT_EQ(icon->NotifyData()->hWnd, TTrayIcon::CallbackWindow()->Handle());
    EXPECT_EQ(sp.tray.windows.count(icon->NotifyData()->hWnd), 1u);
}

TEST_F(TrayIdTest, NoIdentifierLeftFailsWithoutARowOrAShellCall) {
    for (int i = 0; i < 999; ++i) NewIcon();
    ASSERT_EQ(TTrayIcon::TrayIconIDs().back(), 999u);
    int owned = form->ComponentCount();
    try {
        NewIcon();
        FAIL() << "the thousandth icon was built";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message(), sj(RegistrationError));
    }
    EXPECT_EQ(TTrayIcon::TrayIconIDs().size(), 999u);
    EXPECT_EQ(TTrayIcon::TrayIconIDs().back(), 999u);
    EXPECT_EQ(form->ComponentCount(), owned);
    EXPECT_TRUE(sp.tray.calls.empty());
}

TEST_F(TrayIdTest, DesignModeOnlyStoresProperties) {
    form->SetDesigning(true);
    TTrayIcon* icon = NewIcon();
    icon->Icon().SetImage(SolidImage(qRgb(1, 2, 3)));
    icon->SetVisible(true);
    icon->SetTipHelp("other");
    icon->Loaded();
    EXPECT_TRUE(icon->Visible());
    EXPECT_EQ(icon->TipHelp(), "other");
    EXPECT_EQ(icon->NotifyData(), nullptr);
    EXPECT_EQ(TTrayIcon::CallbackWindow(), nullptr);
    EXPECT_TRUE(sp.tray.calls.empty());
    EXPECT_TRUE(sp.tray.windows.empty());
    delete icon;
    EXPECT_TRUE(sp.tray.calls.empty());
}

class TrayTipTest : public TrayFixture {};

TEST_F(TrayTipTest, LongTipIsCutTo62BytesAndTheSameValueAgainMakesNoCall) {
    TTrayIcon* icon = ShownIcon();
    EXPECT_EQ(LastCall().data.uFlags, 7u);
    EXPECT_EQ(TipOf(LastCall().data), "TipHelp");

    Bytes seventy(70, 'x');
    for (int i = 0; i < 70; ++i) seventy[i] = static_cast<char>('0' + i % 10);
    icon->SetTipHelp(seventy);
    EXPECT_EQ(icon->TipHelp(), seventy.substr(0, 62));
    ASSERT_EQ(sp.tray.CountOf(NIM_MODIFY), 1);
    EXPECT_EQ(TipOf(LastCall().data), seventy.substr(0, 62));
    EXPECT_EQ(LastCall().data.szTip[62], '\0');

    std::size_t calls = sp.tray.calls.size();
    icon->SetTipHelp(seventy);
    icon->SetTipHelp(seventy.substr(0, 62));
    EXPECT_EQ(sp.tray.calls.size(), calls);
}

TEST_F(TrayTipTest, CutNeverSplitsADoubleByteCharacter) {
    TTrayIcon* icon = NewIcon();
    Bytes kanji = sj("表");  // 0x95 0x5C: its trail byte looks like a backslash
    ASSERT_EQ(kanji.size(), 2u);
    Bytes value = Bytes(61, 'a') + kanji + Bytes(7, 'b');
    icon->SetTipHelp(value);
    EXPECT_EQ(icon->TipHelp(), Bytes(61, 'a'));

    icon->SetTipHelp(Bytes(60, 'a') + kanji + kanji);
    EXPECT_EQ(icon->TipHelp(), Bytes(60, 'a') + kanji);
}

TEST_F(TrayTipTest, EmptyTipWhileRegisteredModifiesWithoutTheTipFlag) {
    TTrayIcon* icon = ShownIcon();
    icon->SetTipHelp("");
    ASSERT_EQ(LastCall().message, NIM_MODIFY);
    EXPECT_EQ(LastCall().data.uFlags, NIF_MESSAGE | NIF_ICON);
    EXPECT_EQ(LastCall().data.szTip[0], '\0');
    icon->SetTipHelp("back");
    EXPECT_EQ(LastCall().data.uFlags, 7u);
}

TEST_F(TrayTipTest, TipOfAnUnregisteredIconIsOnlyStored) {
    TTrayIcon* icon = NewIcon();
    icon->SetTipHelp("quiet");
    EXPECT_TRUE(sp.tray.calls.empty());
    icon->Icon().SetImage(SolidImage(qRgb(9, 9, 9)));
    icon->SetVisible(true);
    EXPECT_EQ(TipOf(LastCall().data), "quiet");
}

class TrayVisibleTest : public TrayFixture {};

TEST_F(TrayVisibleTest, EmptyImageKeepsTheIconHiddenWithoutAShellCall) {
    TTrayIcon* icon = NewIcon();
    icon->SetVisible(true);
    EXPECT_FALSE(icon->Visible());
    EXPECT_FALSE(icon->Registered());
    EXPECT_TRUE(sp.tray.calls.empty());
}

TEST_F(TrayVisibleTest, ShowHideShowAddsDeletesAndAddsAgainUnderTheSameNumber) {
    TTrayIcon* icon = ShownIcon();
    ASSERT_EQ(sp.tray.calls.size(), 1u);
    EXPECT_EQ(LastCall().message, NIM_ADD);
    EXPECT_EQ(LastCall().data.hIcon, icon->Icon().Handle());
    EXPECT_NE(LastCall().data.hIcon, 0u);
    EXPECT_TRUE(LastCall().hadImage);
    EXPECT_TRUE(icon->Registered());

    icon->SetVisible(true);
    EXPECT_EQ(sp.tray.calls.size(), 1u);
    icon->SetVisible(false);
    EXPECT_EQ(LastCall().message, NIM_DELETE);
    EXPECT_FALSE(icon->Registered());
    icon->SetVisible(true);
    EXPECT_EQ(LastCall().message, NIM_ADD);
    EXPECT_EQ(LastCall().data.uID, icon->IconID());
    EXPECT_EQ(sp.tray.calls.size(), 3u);
}

TEST_F(TrayVisibleTest, WhileLoadingVisibleOnlyRecordsTheWishAndLoadedAdds) {
    TTrayIcon* icon = NewIcon();
    icon->BeginLoading();
    icon->Icon().SetImage(SolidImage(qRgb(0, 128, 0)));
    icon->SetTipHelp("Veska Version 0.27.99");
    icon->SetVisible(true);
    EXPECT_TRUE(icon->Visible());
    EXPECT_TRUE(sp.tray.calls.empty());
    icon->Loaded();
    EXPECT_FALSE(icon->Loading());
    ASSERT_EQ(sp.tray.calls.size(), 1u);
    EXPECT_EQ(LastCall().message, NIM_ADD);
    EXPECT_EQ(TipOf(LastCall().data), "Veska Version 0.27.99");
    EXPECT_TRUE(icon->Registered());
}

TEST_F(TrayVisibleTest, LoadedWithoutVisibleAddsNothing) {
    TTrayIcon* icon = NewIcon();
    icon->BeginLoading();
    icon->Loaded();
    EXPECT_TRUE(sp.tray.calls.empty());
}

TEST_F(TrayVisibleTest, FailedAddRaisesTheRegistrationErrorAndStaysUnregistered) {
    sp.tray.failAdd = true;
    TTrayIcon* icon = NewIcon();
    icon->Icon().SetImage(SolidImage(qRgb(0, 0, 0)));
    try {
        icon->SetVisible(true);
        FAIL() << "no error";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message(), sj(RegistrationError));
    }
    EXPECT_FALSE(icon->Registered());
    delete icon;
    EXPECT_EQ(sp.tray.CountOf(NIM_DELETE), 0);
}

TEST_F(TrayVisibleTest, FailedAddInLoadedStillEndsLoading) {
    sp.tray.failAdd = true;
    TTrayIcon* icon = NewIcon();
    icon->BeginLoading();
    icon->Icon().SetImage(SolidImage(qRgb(0, 0, 0)));
    icon->SetVisible(true);
    EXPECT_THROW(icon->Loaded(), EOutOfMemory);
    EXPECT_FALSE(icon->Loading());
}

TEST_F(TrayVisibleTest, FailedModifyRaisesButKeepsTheRegistrationAndTheNewValues) {
    TTrayIcon* icon = ShownIcon();
    sp.tray.failModify = true;
    EXPECT_THROW(icon->SetTipHelp("new tip"), EOutOfMemory);
    EXPECT_TRUE(icon->Registered());
    EXPECT_EQ(TipOf(*icon->NotifyData()), "new tip");
}

TEST_F(TrayVisibleTest, DestroyingARegisteredIconDeletesItFromTheShell) {
    TTrayIcon* shown = ShownIcon();
    TTrayIcon* hidden = NewIcon();
    uint32_t id = shown->IconID();
    delete hidden;
    EXPECT_EQ(sp.tray.CountOf(NIM_DELETE), 0);
    delete shown;
    ASSERT_EQ(sp.tray.CountOf(NIM_DELETE), 1);
    EXPECT_EQ(LastCall().data.uID, id);
    EXPECT_TRUE(TTrayIcon::TrayIconIDs().empty());
}

class TrayImageTest : public TrayFixture {};

TEST_F(TrayImageTest, EachImageChangeSendsExactlyOneModify) {
    TTrayIcon* icon = ShownIcon();
    TIcon other;
    other.SetImage(SolidImage(qRgb(255, 0, 0)));
    icon->SetIcon(&other);
    ASSERT_EQ(sp.tray.CountOf(NIM_MODIFY), 1);
    EXPECT_EQ(LastCall().data.hIcon, icon->Icon().Handle());
    EXPECT_EQ(icon->Icon().Image().pixel(0, 0), qRgb(255, 0, 0));

    icon->Icon().SetImage(SolidImage(qRgb(0, 255, 0)));
    EXPECT_EQ(sp.tray.CountOf(NIM_MODIFY), 2);

    icon->SetIcon(&icon->Icon());
    EXPECT_EQ(sp.tray.CountOf(NIM_MODIFY), 2);
}

TEST_F(TrayImageTest, ImageChangeOfAHiddenIconMakesNoCall) {
    TTrayIcon* icon = NewIcon();
    TIcon other;
    other.SetImage(SolidImage(qRgb(255, 0, 0)));
    icon->SetIcon(&other);
    EXPECT_TRUE(sp.tray.calls.empty());
    EXPECT_FALSE(icon->Icon().Empty());
}

TEST_F(TrayImageTest, NoImageEmptiesTheIconAndHidesIt) {
    TTrayIcon* icon = ShownIcon();
    icon->SetIcon(nullptr);
    EXPECT_TRUE(icon->Icon().Empty());
    EXPECT_FALSE(icon->Visible());
    EXPECT_FALSE(icon->Registered());
    ASSERT_EQ(sp.tray.calls.size(), 4u);
    EXPECT_EQ(sp.tray.calls[1].message, NIM_MODIFY);
    EXPECT_EQ(sp.tray.calls[1].data.hIcon, 0u);
    EXPECT_FALSE(sp.tray.calls[1].hadImage);
    EXPECT_EQ(sp.tray.calls[2].message, NIM_MODIFY);
    EXPECT_EQ(sp.tray.calls[3].message, NIM_DELETE);
}

}  // namespace
}  // namespace veska
