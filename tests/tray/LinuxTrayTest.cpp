// LinuxTray on the offscreen platform, with the tray's presence scripted.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <cstring>

#include "platform/linux/tray/LinuxTray.h"
#include "text/Codec.h"

namespace veska {
namespace {

struct Message {
    uint32_t message, wParam, lParam;
    bool operator==(const Message&) const = default;
};

class LinuxTrayTest : public ::testing::Test {
protected:
    NotifyIconData Record(uint32_t uID, const Bytes& tip, uint32_t flags = NIF_MESSAGE | NIF_ICON | NIF_TIP) {
        NotifyIconData d;
        d.cbSize = sizeof d;
        d.hWnd = hWnd;
        d.uID = uID;
        d.uFlags = flags;
        d.uCallbackMessage = 1224;
        d.hIcon = 1;
        std::memcpy(d.szTip, tip.data(), tip.size());
        return d;
    }
    // Runs the event loop until n messages arrived or a generous time ran out.
    void WaitFor(std::size_t n) {
        QDeadlineTimer deadline(10000);
        while (received.size() < n && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    LinuxTray tray{nullptr, {[] { return true; }, false, 2000, 1000}};
    std::vector<Message> received;
    uint32_t hWnd = tray.CreateCallbackWindow([this](uint32_t m, uint32_t w, uint32_t l) { received.push_back({m, w, l}); });
    QImage image = [] {
        QImage img(16, 16, QImage::Format_ARGB32);
        img.fill(qRgb(200, 0, 0));
        return img;
    }();
};

TEST_F(LinuxTrayTest, AddModifyDeleteKeepOneQtIconPerIdentifier) {
    ASSERT_TRUE(tray.ShellNotifyIcon(NIM_ADD, Record(1, sj("常駐 Veska")), &image));
    QSystemTrayIcon* icon = tray.IconOf(1);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->toolTip(), QString::fromUtf8("常駐 Veska"));
    EXPECT_FALSE(icon->icon().isNull());
    EXPECT_EQ(icon->contextMenu(), nullptr);
    EXPECT_FALSE(tray.ShellNotifyIcon(NIM_ADD, Record(1, "again"), &image));

    // Without the tip flag the old tooltip stays.
    EXPECT_TRUE(tray.ShellNotifyIcon(NIM_MODIFY, Record(1, "", NIF_MESSAGE | NIF_ICON), &image));
    EXPECT_EQ(icon->toolTip(), QString::fromUtf8("常駐 Veska"));
    EXPECT_TRUE(tray.ShellNotifyIcon(NIM_MODIFY, Record(1, "new"), &image));
    EXPECT_EQ(icon->toolTip(), QStringLiteral("new"));

    EXPECT_FALSE(tray.ShellNotifyIcon(NIM_MODIFY, Record(2, "x"), &image));
    EXPECT_TRUE(tray.ShellNotifyIcon(NIM_DELETE, Record(1, "new"), &image));
    EXPECT_EQ(tray.IconOf(1), nullptr);
    EXPECT_FALSE(tray.ShellNotifyIcon(NIM_DELETE, Record(1, "new"), &image));
}

// At login the panel often starts after us: the icon waits for a tray instead of failing.
TEST_F(LinuxTrayTest, AnIconWithoutATrayDocksWhenOneAppears) {
    bool trayThere = false;
    LinuxTray late(nullptr, {[&] { return trayThere; }, false, 2000, 20});
    EXPECT_TRUE(late.ShellNotifyIcon(NIM_ADD, Record(1, "t"), &image));
    EXPECT_EQ(late.IconOf(1), nullptr);
    trayThere = true;
    QDeadlineTimer deadline(10000);
    while (!late.IconOf(1) && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_NE(late.IconOf(1), nullptr);
    EXPECT_EQ(late.IconOf(1)->toolTip(), QStringLiteral("t"));
}

TEST_F(LinuxTrayTest, ActivationsArePostedAsPressThenRelease) {
    ASSERT_TRUE(tray.ShellNotifyIcon(NIM_ADD, Record(7, "t"), &image));
    QSystemTrayIcon* icon = tray.IconOf(7);
    emit icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(received.empty()) << "delivered inside the signal";
    emit icon->activated(QSystemTrayIcon::Context);
    emit icon->activated(QSystemTrayIcon::MiddleClick);
    emit icon->activated(QSystemTrayIcon::DoubleClick);
    WaitFor(8);
    EXPECT_EQ(received, (std::vector<Message>{{1224, 7, WM_LBUTTONDOWN},
                                              {1224, 7, WM_LBUTTONUP},
                                              {1224, 7, WM_RBUTTONDOWN},
                                              {1224, 7, WM_RBUTTONUP},
                                              {1224, 7, WM_MBUTTONDOWN},
                                              {1224, 7, WM_MBUTTONUP},
                                              {1224, 7, WM_LBUTTONDBLCLK},
                                              {1224, 7, WM_LBUTTONUP}}));
}

TEST_F(LinuxTrayTest, WindowDestroyedBeforeDeliveryReceivesNothing) {
    ASSERT_TRUE(tray.ShellNotifyIcon(NIM_ADD, Record(3, "t"), &image));
    emit tray.IconOf(3)->activated(QSystemTrayIcon::Trigger);
    tray.DestroyCallbackWindow(hWnd);
    uint32_t other = tray.CreateCallbackWindow([this](uint32_t m, uint32_t w, uint32_t l) { received.push_back({m, w, l}); });
    ASSERT_TRUE(tray.ShellNotifyIcon(NIM_ADD, [&] {
        auto d = Record(4, "t");
        d.hWnd = other;
        return d;
    }(), &image));
    emit tray.IconOf(4)->activated(QSystemTrayIcon::DoubleClick);
    WaitFor(2);
    EXPECT_EQ(received, (std::vector<Message>{{1224, 4, WM_LBUTTONDBLCLK}, {1224, 4, WM_LBUTTONUP}}));
}

TEST_F(LinuxTrayTest, ProcedureMayDestroyItsOwnWindow) {
    uint32_t self = 0;
    self = tray.CreateCallbackWindow([&](uint32_t m, uint32_t w, uint32_t l) {
        tray.DestroyCallbackWindow(self);
        received.push_back({m, w, l});
    });
    auto d = Record(5, "t");
    d.hWnd = self;
    ASSERT_TRUE(tray.ShellNotifyIcon(NIM_ADD, d, &image));
    emit tray.IconOf(5)->activated(QSystemTrayIcon::Trigger);
    WaitFor(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(received, (std::vector<Message>{{1224, 5, WM_LBUTTONDOWN}}));
}

}  // namespace
}  // namespace veska
