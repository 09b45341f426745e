// LinuxDesktop's QMenu built from menu data, and its message box, on the offscreen platform.
#include <gtest/gtest.h>

#include <QActionGroup>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/linux/LinuxDesktop.h"
#include "text/Codec.h"

namespace veska {
namespace {

class LinuxMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        menu = new TPopupMenu(nullptr);
        open = Add(menu->Items(), sj("開く(&O)"));
        Add(menu->Items(), "-");
        off = Add(menu->Items(), "Off");
        off->Enabled = false;
        wall = Add(menu->Items(), sj("壁紙の変更"));
        toggle = Add(wall, "Auto");
        toggle->SetChecked(true);
        Add(wall, "-");
        radioA = Add(wall, "A");
        radioB = Add(wall, "B");
        radioA->RadioItem = radioB->RadioItem = true;
        radioB->SetChecked(true);
    }
    void TearDown() override { delete menu; }
    TMenuItem* Add(TMenuItem* parent, const Bytes& caption) {
        auto* item = new TMenuItem(nullptr);
        item->Caption = caption;
        parent->Add(item);
        return item;
    }
    void Build(std::function<void(TMenuItem&)> onOpen = [](TMenuItem&) {}) {
        LinuxDesktop::BuildQMenu(qmenu, *menu, std::move(onOpen));
    }

    TPopupMenu* menu = nullptr;
    TMenuItem *open = nullptr, *off = nullptr, *wall = nullptr, *toggle = nullptr, *radioA = nullptr, *radioB = nullptr;
    QMenu qmenu;
};

TEST_F(LinuxMenuTest, TreeFollowsTheItems) {
    Build();
    auto top = qmenu.actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[0]->text(), QString::fromUtf8("開く(&O)"));
    EXPECT_TRUE(top[1]->isSeparator());
    EXPECT_FALSE(top[2]->isEnabled());
    EXPECT_TRUE(top[0]->isEnabled());
    EXPECT_FALSE(top[0]->isCheckable());
    ASSERT_NE(top[3]->menu(), nullptr);
    EXPECT_EQ(top[3]->text(), QString::fromUtf8("壁紙の変更"));

    auto sub = top[3]->menu()->actions();
    ASSERT_EQ(sub.size(), 4);
    EXPECT_TRUE(sub[0]->isCheckable());
    EXPECT_TRUE(sub[0]->isChecked());
    EXPECT_EQ(sub[0]->actionGroup(), nullptr);
    EXPECT_TRUE(sub[1]->isSeparator());
    ASSERT_NE(sub[2]->actionGroup(), nullptr);
    EXPECT_EQ(sub[2]->actionGroup(), sub[3]->actionGroup());
    EXPECT_TRUE(sub[2]->actionGroup()->isExclusive());
    EXPECT_FALSE(sub[2]->isChecked());
    EXPECT_TRUE(sub[3]->isChecked());

    EXPECT_EQ(LinuxDesktop::ItemOf(TMenuRef(menu), top[0]), open);
    EXPECT_EQ(LinuxDesktop::ItemOf(TMenuRef(menu), sub[3]), radioB);
}

TEST_F(LinuxMenuTest, OpeningASubmenuRunsTheParentAndShowsTheItemsAsTheyAreThen) {
    std::vector<TMenuItem*> opened;
    Build([&](TMenuItem& parent) {
        opened.push_back(&parent);
        radioA->SetChecked(true);
        Add(&parent, "C");
    });
    QMenu* sub = qmenu.actions()[3]->menu();
    emit sub->aboutToShow();
    EXPECT_EQ(opened, std::vector<TMenuItem*>{wall});
    auto actions = sub->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_TRUE(actions[2]->isChecked());
    EXPECT_FALSE(actions[3]->isChecked());
    EXPECT_EQ(actions[4]->text(), QStringLiteral("C"));
    EXPECT_EQ(LinuxDesktop::ItemOf(TMenuRef(menu), actions[4]), wall->Items(4));
}

TEST_F(LinuxMenuTest, ItemsGoneFromTheMenuAreNeverReturned) {
    Build();
    QAction* first = qmenu.actions()[0];
    QAction* b = qmenu.actions()[3]->menu()->actions()[3];
    TMenuRef ref(menu);
    delete radioB;
    EXPECT_EQ(LinuxDesktop::ItemOf(ref, b), nullptr);
    EXPECT_EQ(LinuxDesktop::ItemOf(ref, first), open);
    EXPECT_EQ(LinuxDesktop::ItemOf(ref, nullptr), nullptr);
    delete menu;
    menu = nullptr;
    EXPECT_EQ(LinuxDesktop::ItemOf(ref, first), nullptr);
}

TEST_F(LinuxMenuTest, SubmenuOpenThatDestroysTheMenuLeavesNothingToChoose) {
    Build([&](TMenuItem&) {
        delete menu;
        menu = nullptr;
    });
    QMenu* sub = qmenu.actions()[3]->menu();
    emit sub->aboutToShow();
    EXPECT_EQ(LinuxDesktop::ItemOf(TMenuRef(menu), qmenu.actions()[0]), nullptr);
    // Opening it again must not reach the dead items.
    emit sub->aboutToShow();
}

struct BoxSeen {
    QString title, text;
    QMessageBox::Icon icon{};
    Qt::TextFormat format{};
};

// Presses the button with the given text on the next message box that comes up.
void AnswerNextBox(const QString& button, BoxSeen* seen) {
    auto* timer = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(10000);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box && !deadline->hasExpired()) return;
        timer->deleteLater();
        if (!box) return;
        *seen = {box->windowTitle(), box->text(), box->icon(), box->textFormat()};
        for (QAbstractButton* b : box->buttons())
            if (b->text() == button) b->click();
    });
    timer->start(10);
}

TEST(LinuxMessageBoxTest, ButtonsIconsAndAnswers) {
    LinuxDesktop desktop;
    BoxSeen seen;

    AnswerNextBox(QString::fromUtf8("キャンセル"), &seen);
    EXPECT_EQ(desktop.MessageBox(sj("削除しますか?"), sj("確認"), MB_OKCANCEL | MB_ICONQUESTION), IDCANCEL);
    EXPECT_EQ(seen.title, QString::fromUtf8("確認"));
    EXPECT_EQ(seen.text, QString::fromUtf8("削除しますか?"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);

    AnswerNextBox(QStringLiteral("OK"), &seen);
    EXPECT_EQ(desktop.MessageBox("<b>a</b>", "", MB_OK | MB_ICONHAND), IDOK);
    EXPECT_EQ(seen.title, QString::fromUtf8("エラー"));  // the system's default title
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.format, Qt::PlainText);

    AnswerNextBox(QStringLiteral("OK"), &seen);
    EXPECT_EQ(desktop.MessageBox("w", "x", MB_OKCANCEL | MB_ICONEXCLAMATION), IDOK);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);

    AnswerNextBox(QStringLiteral("OK"), &seen);
    EXPECT_EQ(desktop.MessageBox("i", "x", MB_OK | MB_ICONASTERISK), IDOK);
    EXPECT_EQ(seen.icon, QMessageBox::Information);
}

// A host's click that runs while a dialog's box waits may close that dialog, which frees it: the
// box goes with it, answered as by its escape button.
TEST(LinuxMessageBoxTest, ABoxWhoseDialogIsFreedMeanwhileGoesWithIt) {
    LinuxDesktop desktop;
    QPointer<QDialog> dialog = new QDialog;
    int answer = 0;
    QTimer::singleShot(0, dialog, [&] {
        // Freed as a loop nested in the box's, where the host's click ran, would free it.
        QTimer::singleShot(50, [&] { delete dialog.data(); });
        answer = desktop.MessageBox("m", "c", MB_OKCANCEL | MB_ICONQUESTION);
    });
    dialog->exec();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(answer, IDCANCEL);
}

}  // namespace
}  // namespace veska
