// The input dialog driven as a user would: keys into the focused control, clicks, the close box.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>

#include "Unit2/InputDlg.h"

using namespace veska;

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

class InputDialog : public ::testing::Test {
protected:
    // Runs ShowModal while `act` works on the dialog once it has the focus. A dialog still open
    // a few seconds later is closed and reported, so a fault never hangs the test.
    void Show(const std::function<void()>& act) {
        bool acted = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!dlg.isActiveWindow() || !dlg.Edit1->hasFocus()) return;
            poll.stop();
            QCoreApplication::sendPostedEvents();  // the queued selection
            acted = true;
            act();
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            ADD_FAILURE() << (acted ? "the dialog did not close" : "the field never got the focus");
            dlg.hide();
        });
        poll.start();
        guard.start(5000);
        dlg.ShowModal();
        EXPECT_FALSE(dlg.isVisible());
    }
    void Type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    void Press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

    QWidget owner;
    TInputDlg dlg{&owner};
};

TEST_F(InputDialog, EnterTakesTheProposedTextAndTypingReplacesItWhole) {
    dlg.Edit1->setText(U("旧い名前"));
    Show([&] { Press(Qt::Key_Return); });
    EXPECT_TRUE(dlg.Accepted);
    EXPECT_EQ(dlg.Edit1->text(), U("旧い名前"));

    Show([&] {
        Type("new name");
        Press(Qt::Key_Enter);
    });
    EXPECT_TRUE(dlg.Accepted);
    EXPECT_EQ(dlg.Edit1->text(), "new name");
}

TEST_F(InputDialog, OkAcceptsAnyTextEvenABlankButNotAnEmptyField) {
    dlg.Edit1->setText("abc");
    Show([&] {
        Type(" ");
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    EXPECT_TRUE(dlg.Accepted);
    EXPECT_EQ(dlg.Edit1->text(), " ");

    Show([&] {
        Press(Qt::Key_Backspace);
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    EXPECT_FALSE(dlg.Accepted);
    EXPECT_EQ(dlg.Edit1->text(), "");
}

TEST_F(InputDialog, EscapeCancelsOnlyWhileCancelIsEnabledAndTheCloseBoxAlwaysCancels) {
    dlg.Edit1->setText("kept");
    dlg.Accepted = true;
    Show([&] { Press(Qt::Key_Escape); });
    EXPECT_FALSE(dlg.Accepted);
    EXPECT_EQ(dlg.Edit1->text(), "kept");

    dlg.CancelBtn->setEnabled(false);
    bool escapeKeptItOpen = false;
    Show([&] {
        Press(Qt::Key_Escape);
        escapeKeptItOpen = dlg.isVisible();
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    EXPECT_TRUE(escapeKeptItOpen);
    EXPECT_TRUE(dlg.Accepted);

    // Still disabled: the close box must not be refused along with Escape.
    Show([&] { dlg.close(); });
    EXPECT_FALSE(dlg.Accepted);
    EXPECT_FALSE(dlg.CancelBtn->isEnabled());

    dlg.CancelBtn->setEnabled(true);
    Show([&] { QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton); });
    EXPECT_FALSE(dlg.Accepted);
}

TEST_F(InputDialog, TheFieldSelectsItsWholeTextWheneverItGetsTheFocus) {
    dlg.Edit1->setText("some text");
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg, 5000));
    auto selectedAll = [&] {
        QCoreApplication::sendPostedEvents();
        return dlg.Edit1->hasFocus() && dlg.Edit1->selectedText() == "some text";
    };

    dlg.OKBtn->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(dlg.Edit1, Qt::LeftButton, {}, QPoint(20, 10));  // inside the text
    EXPECT_TRUE(selectedAll());

    dlg.Edit1->deselect();
    QTest::keyClick(dlg.Edit1, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dlg.OKBtn);
    QTest::keyClick(dlg.OKBtn, Qt::Key_Backtab);
    EXPECT_TRUE(selectedAll());

    dlg.Edit1->deselect();
    dlg.OKBtn->setFocus();
    dlg.Edit1->setFocus(Qt::OtherFocusReason);
    EXPECT_TRUE(selectedAll());
    dlg.hide();
}

TEST_F(InputDialog, FixedCentredWindowModalWithTheFormFontAndSpokenNames) {
    EXPECT_EQ(dlg.size(), QSize(314, 96));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    EXPECT_FALSE(dlg.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                      Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(dlg.windowModality(), Qt::WindowModal);
    const QPoint screenCentre = dlg.screen()->availableGeometry().center();
    EXPECT_LE((dlg.geometry().center() - screenCentre).manhattanLength(), 2);
    EXPECT_TRUE(dlg.OKBtn->isDefault());
    EXPECT_EQ(dlg.Edit1->nextInFocusChain(), dlg.OKBtn);

    const QFontInfo info(dlg.Label1->font());
    EXPECT_TRUE(info.family().contains("Gothic") || info.family().contains(U("ゴシック"))) << info.family().toStdString();
    EXPECT_EQ(info.pixelSize(), 12);
    EXPECT_GE(dlg.Label1->height(), dlg.Label1->fontMetrics().height());

    // The field is named by its prompt, whatever prompt the caller sets.
    auto name = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
    dlg.Label1->setText(U("新しいフォルダ名 :"));
    EXPECT_EQ(name(dlg.Edit1), U("新しいフォルダ名 :"));
    EXPECT_EQ(name(dlg.CancelBtn), U("キャンセル"));
}

}  // namespace
