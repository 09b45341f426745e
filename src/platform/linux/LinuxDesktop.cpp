#include "platform/linux/LinuxDesktop.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <cstdio>
#include <map>
#include <memory>

#include "platform/linux/tray/HostMenu.h"
#include "text/Codec.h"

namespace veska {

namespace {

QString q(const Bytes& sjis) { return QString::fromStdString(toUtf8(sjis)); }

struct MenuContext {
    TMenuRef menu;
    std::function<void(TMenuItem&)> onSubmenuOpen;
    QMenu* root = nullptr;
};

TMenuItem* liveItem(const MenuContext& ctx, TMenuItem* item) {
    TPopupMenu* m = ctx.menu.get();
    return m && m->Items()->Holds(item) ? item : nullptr;
}

void fill(QMenu& qmenu, TMenuItem& parent, const std::shared_ptr<MenuContext>& ctx);

void refill(QMenu& qmenu, TMenuItem* parent, const std::shared_ptr<MenuContext>& ctx) {
    if (!liveItem(*ctx, parent)) return;
    ctx->onSubmenuOpen(*parent);
    const auto groups = qmenu.findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly);
    for (QActionGroup* g : groups) delete g;
    const auto submenus = qmenu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    qmenu.clear();
    for (QMenu* s : submenus) s->deleteLater();
    if (liveItem(*ctx, parent)) {
        fill(qmenu, *parent, ctx);
    } else {
        // The click rebuilt the menu under us: nothing shown any more can be chosen.
        QMetaObject::invokeMethod(ctx->root, &QMenu::close, Qt::QueuedConnection);
    }
}

void fill(QMenu& qmenu, TMenuItem& parent, const std::shared_ptr<MenuContext>& ctx) {
    std::map<int, QActionGroup*> radioGroups;
    for (int i = 0; i < parent.Count(); ++i) {
        TMenuItem* item = parent.Items(i);
        if (item->IsLine()) {
            qmenu.addSeparator();
            continue;
        }
        QAction* action;
        if (item->Count() > 0) {
            auto* sub = new QMenu(q(item->Caption), &qmenu);
            action = qmenu.addMenu(sub);
            fill(*sub, *item, ctx);
            QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, item, ctx] { refill(*sub, item, ctx); });
        } else {
            action = qmenu.addAction(q(item->Caption));
        }
        action->setData(QVariant::fromValue(reinterpret_cast<quintptr>(item)));
        action->setEnabled(item->Enabled);
        if (item->RadioItem || item->Checked()) {
            action->setCheckable(true);
            action->setChecked(item->Checked());
        }
        if (item->RadioItem) {
            QActionGroup*& group = radioGroups[item->GroupIndex];
            if (!group) group = new QActionGroup(&qmenu);
            group->addAction(action);
        }
    }
}

}  // namespace

int LinuxDesktop::MessageBox(const Bytes& text, const Bytes& caption, uint32_t type) {
    // Owned by the dialog that asks, when one is open, so that the dialog waits for the answer
    // (a second command there meanwhile would act on what the box is about). On the heap: a
    // host's click that runs while the box waits may close that dialog, which frees it, and
    // the box with it.
    QPointer<QMessageBox> owned = new QMessageBox(QApplication::activeModalWidget());
    QMessageBox& box = *owned;
    // No caption: the system's own default title for message boxes.
    const Bytes title = caption.empty() ? sj("エラー") : caption;
    box.setWindowTitle(q(title));
    // Also told on standard error, for whoever started Veska from a terminal.
    std::fprintf(stderr, "veska: %s: %s\n", toUtf8(title).c_str(), toUtf8(text).c_str());
    // The box waits for its answer without blocking the tray icon, as a box without an
    // owner window does on the original platform.
    box.setWindowModality(Qt::WindowModal);
    if (box.parentWidget()) box.setWindowFlags(box.windowFlags() | Qt::Dialog);
    // Above every window of ours, the system information window included, which stays on
    // top: a box beneath it could be neither seen nor answered.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.setTextFormat(Qt::PlainText);  // a path or a message is never markup
    box.setText(q(text));
    switch (type & 0xF0) {
    case MB_ICONHAND:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONASTERISK:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    const bool yesNo = (type & 0x0F) == MB_YESNO;
    QPushButton* ok = box.addButton(yesNo ? QStringLiteral("はい(&Y)") : QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (yesNo)
        cancel = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::RejectRole);
    else if ((type & 0x0F) == MB_OKCANCEL)
        cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? cancel : ok);
    box.exec();
    // A box gone with its dialog counts as answered with its escape button.
    const bool accepted = owned && box.clickedButton() == ok;
    delete owned.data();
    if (yesNo) return accepted ? IDYES : IDNO;
    return cancel && !accepted ? IDCANCEL : IDOK;
}

// X11 gives the focus to the popup menu's own grab; there is no application window to raise.
void LinuxDesktop::SetForegroundWindow() {}

Point LinuxDesktop::GetCursorPos() {
    QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

// A tray host's question is answered from the menus as they are: what else is queued runs after
// the answer, never inside it. Nor do pending messages run inside pending messages, which
// a burst of clicks would otherwise nest without end.
void LinuxDesktop::ProcessMessages() {
    if (processing_ || (requests_ && requests_->mode != MenuRequest::Mode::None)) return;
    processing_ = true;
    QCoreApplication::processEvents();
    processing_ = false;
}

void LinuxDesktop::BuildQMenu(QMenu& qmenu, TPopupMenu& menu, std::function<void(TMenuItem&)> onSubmenuOpen) {
    auto ctx = std::make_shared<MenuContext>();
    ctx->menu = TMenuRef(&menu);
    ctx->onSubmenuOpen = std::move(onSubmenuOpen);
    ctx->root = &qmenu;
    fill(qmenu, *menu.Items(), ctx);
}

TMenuItem* LinuxDesktop::ItemOf(const TMenuRef& menu, const QAction* action) {
    TPopupMenu* m = menu.get();
    if (!m || !action) return nullptr;
    auto* item = reinterpret_cast<TMenuItem*>(action->data().value<quintptr>());
    return item && m->Items()->Holds(item) ? item : nullptr;
}

TMenuItem* LinuxDesktop::TrackPopupMenu(TPopupMenu& menu, int x, int y,
                                        const std::function<void(TMenuItem&)>& onSubmenuOpen) {
    if (requests_ && requests_->mode == MenuRequest::Mode::Capture) {
        requests_->mode = MenuRequest::Mode::None;
        requests_->menu = TMenuRef(&menu);
        requests_->onSubmenuOpen = onSubmenuOpen;
        return nullptr;
    }
    if (requests_ && requests_->mode == MenuRequest::Mode::Answer) {
        TMenuItem* chosen = requests_->answer;
        requests_->mode = MenuRequest::Mode::None;
        requests_->answer = nullptr;
        if (!chosen || !menu.Items()->Holds(chosen)) return nullptr;
        // As in a menu on the screen, a disabled entry, or one in a disabled submenu, does nothing.
        for (TMenuItem* i = chosen; i && i != menu.Items(); i = i->Parent())
            if (!i->Enabled) return nullptr;
        return chosen;
    }
    // One pop-up at a time: a click that comes while a menu is open finds it open.
    if (tracking_) return nullptr;
    tracking_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{tracking_};
    TMenuRef ref(&menu);
    QMenu qmenu;
    BuildQMenu(qmenu, menu, onSubmenuOpen);
    return ItemOf(ref, qmenu.exec(QPoint(x, y)));
}

void LinuxDesktop::Quit() {
    QCoreApplication::quit();
    // Before the main loop runs (a start-up dialog is open), quit() does nothing: closing the
    // open windows ends their modal loops instead, as terminating the application did there.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) w->close();
}

}  // namespace veska
