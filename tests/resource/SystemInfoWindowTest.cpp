// The window as a window: opening and closing, paints, error boxes, layout.
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include "FormFixture.h"

using namespace veska;
using veska::testing::FormTest;

namespace {

// Free memory that differs at every look, as on a live machine.
class DriftingSystem : public ScriptedSystem {
public:
    MemoryStatus GlobalMemoryStatus() override {
        memory.availPhys += 4096;
        return ScriptedSystem::GlobalMemoryStatus();
    }
};

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

int TForm2Windows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += qobject_cast<TForm2*>(w) != nullptr;
    return n;
}

}  // namespace

class SystemInfoWindow : public FormTest {
protected:
    void Open(TForm2& form) {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, 5000));
        Settle();
    }
};

TEST_F(SystemInfoWindow, EveryPaintOfTheFormTakesTheFiguresOnceAfterThePaint) {
    TForm2 form(sp);
    Open(form);
    const int afterOpening = sp.system.memoryQueries;
    EXPECT_GE(afterOpening, 2);  // created, then painted

    form.repaint();
    form.repaint();
    form.repaint();
    EXPECT_EQ(sp.system.memoryQueries, afterOpening);  // nothing is taken while painting
    ASSERT_TRUE(QTest::qWaitFor([&] { return sp.system.memoryQueries > afterOpening; }, 5000));
    Settle();
    EXPECT_EQ(sp.system.memoryQueries, afterOpening + 1);
}

TEST_F(SystemInfoWindow, FiguresThatChangeAtEveryLookDoNotKeepTheWindowRepainting) {
    DriftingSystem drifting;
    sp.platform().system = &drifting;
    TForm2 form(sp);
    Open(form);
    const Bytes shown = Text(form, "Label10");
    const int before = drifting.memoryQueries;
    Settle();
    Settle();
    EXPECT_EQ(drifting.memoryQueries, before);

    // A label or a button repainting is not a paint of the form.
    L(form, "Label10")->repaint();
    form.findChild<QPushButton*>("Button2")->repaint();
    Settle();
    EXPECT_EQ(drifting.memoryQueries, before);
    EXPECT_EQ(Text(form, "Label10"), shown);

    form.update(QRect(0, 0, 60, 60));  // the emblem's corner belongs to the form itself
    ASSERT_TRUE(QTest::qWaitFor([&] { return drifting.memoryQueries > before; }, 5000));
    EXPECT_NE(Text(form, "Label10"), shown);
}

TEST_F(SystemInfoWindow, FailingResourceQueryIsShownOncePerOpeningNotOncePerPaint) {
    sp.system.resources[0].failure = ResourceFailure::Module;
    {
        TForm2 form(sp);
        ASSERT_EQ(sp.desktop.boxes.size(), 1u);  // during creation, before the window opens
        EXPECT_EQ(sp.desktop.boxes[0].text, "Faild to call User.exe.");
        EXPECT_EQ(sp.desktop.boxes[0].caption, "Veska");
        EXPECT_EQ(sp.desktop.boxes[0].type, MB_OK | MB_ICONHAND);
        Open(form);
        for (int i = 0; i < 3; ++i) {
            const int queries = sp.system.resourceQueries;
            form.repaint();
            ASSERT_TRUE(QTest::qWaitFor([&] { return sp.system.resourceQueries > queries; }, 5000));
        }
        Settle();
        EXPECT_EQ(sp.desktop.boxes.size(), 1u);
        // The taking stopped at the first step every time: the design texts stay.
        EXPECT_EQ(sp.system.memoryQueries, 0);
        EXPECT_TRUE(form.isVisible());
        for (const char* name : {"Label1", "Label2", "Label3"}) EXPECT_EQ(Text(form, name), "%");
        for (const char* name : {"Label9", "Label10", "Label13", "Label14"}) EXPECT_EQ(Text(form, name), "Bytes");

        // Asked for by the user, the failure is reported again rather than passing for success.
        Click(form, "Button2");
        EXPECT_EQ(sp.desktop.boxes.size(), 2u);
    }
    TForm2 again(sp);
    EXPECT_EQ(sp.desktop.boxes.size(), 3u);
    EXPECT_EQ(sp.desktop.boxes.back().text, "Faild to call User.exe.");
}

TEST_F(SystemInfoWindow, OpensModallyCentredOnTopAndIsGoneAfterOk) {
    QPointer<TForm2> seen;
    int polls = 0;
    bool visibleOnTop = false, escapeKeptIt = false, okFocused = false, centred = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* form = qobject_cast<TForm2*>(QApplication::activeModalWidget());
        // Focus lands when the window is activated, which follows the showing.
        if (!form || (!form->isActiveWindow() && ++polls < 500)) return;
        poll.stop();
        seen = form;
        visibleOnTop = form->isVisible() && (form->windowFlags() & Qt::WindowStaysOnTopHint);
        const QPoint screenCentre = form->screen()->availableGeometry().center();
        centred = (form->frameGeometry().center() - screenCentre).manhattanLength() <= 40;
        okFocused = form->focusWidget() == form->findChild<QPushButton*>("Button1");
        QTest::keyClick(form, Qt::Key_Escape);
        escapeKeptIt = form->isVisible();
        Click(*form, "Button1");
    });
    poll.start();
    ShowSystemInformation(sp);
    EXPECT_TRUE(visibleOnTop);
    EXPECT_TRUE(okFocused);
    EXPECT_TRUE(centred);
    EXPECT_TRUE(escapeKeptIt);
    EXPECT_TRUE(seen.isNull());  // destroyed when the call returns
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(TForm2Windows(), 0);
}

TEST_F(SystemInfoWindow, ClosingByTheCloseBoxFreesTheWindowToo) {
    QTimer poll;
    poll.setInterval(10);
    int windowsWhileOpen = -1;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* form = QApplication::activeModalWidget()) {
            poll.stop();
            windowsWhileOpen = TForm2Windows();
            form->close();
        }
    });
    poll.start();
    ShowSystemInformation(sp);
    EXPECT_EQ(windowsWhileOpen, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(TForm2Windows(), 0);
}

TEST_F(SystemInfoWindow, LayoutTabOrderAndJapaneseFont) {
    TForm2 form(sp);
    EXPECT_EQ(form.size(), QSize(520, 140));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("システム情報"));
    EXPECT_EQ(form.findChild<QGroupBox*>("GroupBox2")->title(), QString::fromUtf8(" リソース 関連 "));
    EXPECT_EQ(L(form, "Label4")->parentWidget()->objectName(), "GroupBox2");
    EXPECT_EQ(L(form, "Label13")->parentWidget()->objectName(), "GroupBox3");

    auto* ok = form.findChild<QPushButton*>("Button1");
    auto* retake = form.findChild<QPushButton*>("Button2");
    EXPECT_EQ(ok->nextInFocusChain(), retake);

    const QFontInfo info(L(form, "Label7")->font());
    EXPECT_TRUE(info.family().contains("Gothic") || info.family().contains(QString::fromUtf8("ゴシック")))
        << info.family().toStdString();
    EXPECT_EQ(info.pixelSize(), 12);
    // Caption labels are as wide as their text, so a long caption never runs under its figure.
    QLabel* caption = L(form, "Label4");
    EXPECT_EQ(caption->width(), caption->fontMetrics().horizontalAdvance(caption->text()));
    EXPECT_LT(caption->x() + caption->width(), L(form, "Label1")->x());
    EXPECT_FALSE(L(form, "Image1")->pixmap().isNull());
    EXPECT_EQ(L(form, "Image1")->pixmap().size(), QSize(32, 32));
}
