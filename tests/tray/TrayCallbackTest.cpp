// The callback window's dispatch of mouse messages, and popping a menu on a press.
#include <string>

#include "TrayFixture.h"
#include "vcl/Exception.h"

namespace veska {
namespace {

constexpr uint32_t WM_MBUTTONDBLCLK = 521;

// Records every handler the icon raises, in order.
struct EventLog {
    std::vector<std::string> lines;
    void Attach(TTrayIcon* icon) {
        icon->OnMouseMove = [this](TObject*, TShiftState s, int x, int y) { Add("move", s, x, y); };
        icon->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) { Add("down" + Name(b), s, x, y); };
        icon->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) { Add("up" + Name(b), s, x, y); };
        icon->OnDblClick = [this](TObject*) { lines.push_back("dbl"); };
    }
    static std::string Name(TMouseButton b) {
        return b == TMouseButton::mbLeft ? "L" : b == TMouseButton::mbRight ? "R" : "M";
    }
    void Add(const std::string& what, TShiftState s, int x, int y) {
        lines.push_back(what + " " + std::to_string(s) + " " + std::to_string(x) + "," + std::to_string(y));
    }
};

class TrayDispatchTest : public TrayFixture {
protected:
    void SetUp() override {
        TrayFixture::SetUp();
        icon = ShownIcon();
        log.Attach(icon);
        sp.desktop.cursor = {300, 400};
    }
    TTrayIcon* icon = nullptr;
    EventLog log;
};

TEST_F(TrayDispatchTest, EachMouseMessageRaisesItsEventAtTheCursor) {
    struct Row {
        uint32_t message;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {WM_MOUSEMOVE, {"move 0 300,400"}},
        {WM_LBUTTONDOWN, {"downL 8 300,400"}},
        {WM_LBUTTONUP, {"upL 8 300,400"}},
        {WM_LBUTTONDBLCLK, {"dbl"}},
        {WM_RBUTTONDOWN, {"downR 16 300,400"}},
        {WM_RBUTTONUP, {"upR 16 300,400"}},
        {WM_RBUTTONDBLCLK, {}},
        {WM_MBUTTONDOWN, {"downM 32 300,400"}},
        {WM_MBUTTONUP, {"upM 32 300,400"}},
        {WM_MBUTTONDBLCLK, {}},
        {0x0100, {}},
    };
    for (const Row& r : rows) {
        log.lines.clear();
        Post(icon->IconID(), r.message);
        EXPECT_EQ(log.lines, r.expected) << "mouse message " << r.message;
    }
    EXPECT_TRUE(sp.desktop.popups.empty());
}

TEST_F(TrayDispatchTest, UnknownIdentifierAndOtherMessagesAreIgnored) {
    Post(icon->IconID() + 1, WM_LBUTTONDOWN);
    Post(0, WM_MOUSEMOVE);
    sp.tray.Post(TTrayIcon::CallbackWindow()->Handle(), WM_TRAYCALLBACK + 1, icon->IconID(), WM_LBUTTONDOWN);
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(TrayDispatchTest, TheIdentifierPicksTheIcon) {
    TTrayIcon* second = ShownIcon();
    EventLog secondLog;
    secondLog.Attach(second);
    Post(second->IconID(), WM_LBUTTONUP);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(secondLog.lines.size(), 1u);
}

TEST_F(TrayDispatchTest, AutoPopupOffRaisesMouseDownInsteadOfPopping) {
    TPopupMenu menu(nullptr);
    icon->LBPopupMenu = &menu;
    icon->SetAutoPopup(false);
    Post(icon->IconID(), WM_LBUTTONDOWN);
    EXPECT_EQ(log.lines, std::vector<std::string>{"downL 8 300,400"});
    EXPECT_TRUE(sp.desktop.popups.empty());
}

TEST_F(TrayDispatchTest, MenuAndAutoPopupPopWithoutMouseDown) {
    TPopupMenu left(nullptr), right(nullptr);
    icon->LBPopupMenu = &left;
    icon->RBPopupMenu = &right;
    Post(icon->IconID(), WM_LBUTTONDOWN);
    Post(icon->IconID(), WM_RBUTTONDOWN);
    Post(icon->IconID(), WM_MBUTTONDOWN);
    EXPECT_EQ(log.lines, std::vector<std::string>{"downM 32 300,400"});
    ASSERT_EQ(sp.desktop.popups.size(), 2u);
    EXPECT_EQ(sp.desktop.popups[0].menu, &left);
    EXPECT_EQ(sp.desktop.popups[1].menu, &right);
    // The release is an ordinary event even when the press popped a menu.
    Post(icon->IconID(), WM_LBUTTONUP);
    EXPECT_EQ(log.lines.back(), "upL 8 300,400");
}

TEST_F(TrayDispatchTest, AThrowingEventHandlerIsShownAndGoesNoFurther) {
    icon->OnMouseUp = [](TObject*, TMouseButton, TShiftState, int, int) { throw EConvertError("bad"); };
    EXPECT_NO_THROW(Post(icon->IconID(), WM_LBUTTONUP));
    ASSERT_EQ(sp.desktop.boxes.size(), 1u);
    EXPECT_EQ(sp.desktop.boxes[0].text, "bad.");
    EXPECT_EQ(sp.desktop.boxes[0].caption, "Veska");
    EXPECT_EQ(sp.desktop.boxes[0].type, MB_OK | MB_ICONHAND);
}

// A desktop that writes the order of the pop-up steps into a shared log.
class OrderDesktop : public ScriptedDesktop {
public:
    explicit OrderDesktop(std::vector<std::string>& log) : log_(log) {}
    void SetForegroundWindow() override {
        log_.push_back("foreground");
        ScriptedDesktop::SetForegroundWindow();
    }
    void ProcessMessages() override {
        log_.push_back("process");
        if (duringProcess) duringProcess();
    }
    TMenuItem* TrackPopupMenu(TPopupMenu& menu, int x, int y,
                              const std::function<void(TMenuItem&)>& onSubmenuOpen) override {
        log_.push_back("track " + std::to_string(x) + "," + std::to_string(y));
        return ScriptedDesktop::TrackPopupMenu(menu, x, y, onSubmenuOpen);
    }
    std::function<void()> duringProcess;

private:
    std::vector<std::string>& log_;
};

class TrayPopupTest : public TrayFixture {
protected:
    void SetUp() override {
        TrayFixture::SetUp();
        desktop.cursor = {120, 700};
        sp.platform().desktop = &desktop;
        icon = ShownIcon();
        menu = new TPopupMenu(form.get());
        menu->OnPopup = [this](TObject* sender) {
            steps.push_back(sender == menu ? "onpopup" : "onpopup from elsewhere");
        };
        first = AddItem(menu->Items(), "first");
        second = AddItem(menu->Items(), "second");
        icon->LBPopupMenu = menu;
    }
    TMenuItem* AddItem(TMenuItem* parent, const std::string& name) {
        auto* item = new TMenuItem(form.get());
        item->Caption = name;
        item->OnClick = [this, name](TObject*) { steps.push_back("click " + name); };
        parent->Add(item);
        return item;
    }
    void Choose(TMenuItem* item) {
        desktop.choose = [item](TPopupMenu&, const std::function<void(TMenuItem&)>&) { return item; };
    }

    std::vector<std::string> steps;
    OrderDesktop desktop{steps};
    TTrayIcon* icon = nullptr;
    TPopupMenu* menu = nullptr;
    TMenuItem* first = nullptr;
    TMenuItem* second = nullptr;
};

TEST_F(TrayPopupTest, PressPopsInOrderAtTheCursorAndRunsTheChosenItem) {
    Choose(second);
    Post(icon->IconID(), WM_LBUTTONDOWN);
    EXPECT_EQ(steps, (std::vector<std::string>{"foreground", "process", "onpopup", "track 120,700", "click second"}));
    ASSERT_EQ(desktop.popups.size(), 1u);
    EXPECT_EQ(desktop.popups[0].menu, menu);
}

TEST_F(TrayPopupTest, DismissedMenuRunsNoClick) {
    Post(icon->IconID(), WM_LBUTTONDOWN);
    EXPECT_EQ(steps.back(), "track 120,700");
}

TEST_F(TrayPopupTest, OpeningASubmenuRunsItsParentsClick) {
    TMenuItem* leaf = AddItem(second, "leaf");
    desktop.choose = [&](TPopupMenu&, const std::function<void(TMenuItem&)>& onSubmenuOpen) {
        onSubmenuOpen(*second);
        onSubmenuOpen(*second);
        return leaf;
    };
    Post(icon->IconID(), WM_LBUTTONDOWN);
    EXPECT_EQ(steps, (std::vector<std::string>{"foreground", "process", "onpopup", "track 120,700", "click second",
                                               "click second", "click leaf"}));
}

TEST_F(TrayPopupTest, ThrowingClickIsShownByTheErrorBox) {
    second->OnClick = [](TObject*) { throw EOutOfMemory(sj("書き込めません")); };
    Choose(second);
    EXPECT_NO_THROW(Post(icon->IconID(), WM_LBUTTONDOWN));
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, sj("書き込めません") + ".");
    EXPECT_EQ(desktop.boxes[0].caption, "Veska");
}

TEST_F(TrayPopupTest, ThrowingOnPopupIsShownAndTheMenuIsNotTracked) {
    menu->OnPopup = [](TObject*) { throw Exception("popup failed"); };
    Choose(first);
    EXPECT_NO_THROW(Post(icon->IconID(), WM_LBUTTONDOWN));
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, "popup failed.");
    EXPECT_TRUE(desktop.popups.empty());
    EXPECT_EQ(steps, (std::vector<std::string>{"foreground", "process"}));
}

TEST_F(TrayPopupTest, MenuDestroyedWhileMessagesRunIsNotShown) {
    desktop.duringProcess = [this] { delete menu; };
    Choose(first);
    Post(icon->IconID(), WM_LBUTTONDOWN);
    EXPECT_TRUE(desktop.popups.empty());
    EXPECT_EQ(icon->LBPopupMenu.get(), nullptr);
    // With the menu gone the press is an ordinary one again.
    icon->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { steps.push_back("down"); };
    Post(icon->IconID(), WM_LBUTTONDOWN);
    EXPECT_EQ(steps.back(), "down");
}

TEST_F(TrayPopupTest, ClickThatRebuildsTheMenuOrDestroysTheIconIsSafe) {
    second->OnClick = [this](TObject*) {
        delete menu;
        delete icon;
        steps.push_back("rebuilt");
    };
    Choose(second);
    uint32_t id = icon->IconID();
    Post(id, WM_LBUTTONDOWN);
    EXPECT_EQ(steps.back(), "rebuilt");
    EXPECT_EQ(sp.tray.CountOf(NIM_DELETE), 1);
    EXPECT_TRUE(TTrayIcon::TrayIconIDs().empty());
    Post(id, WM_LBUTTONDOWN);  // a late message for the dead icon
    EXPECT_EQ(desktop.popups.size(), 1u);
}

TEST_F(TrayPopupTest, ItemGoneWithAMenuRebuiltDuringTrackingIsNotClicked) {
    TMenuItem* leaf = AddItem(second, "leaf");
    second->OnClick = [this](TObject*) {
        delete menu;
        steps.push_back("rebuilt");
    };
    desktop.choose = [leaf](TPopupMenu&, const std::function<void(TMenuItem&)>& onSubmenuOpen) {
        onSubmenuOpen(*leaf->Parent());
        return leaf;  // dangling now: the tracker must not be trusted blindly
    };
    Post(icon->IconID(), WM_LBUTTONDOWN);
    EXPECT_EQ(steps.back(), "rebuilt");
}

}  // namespace
}  // namespace veska
