// Qt and our headers first: Xlib's macros (None, Status, ...) break them.
#include <QColor>
#include <QImage>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PlatformTestSupport.h"
#include "platform/linux/LinuxWallpaper.h"
#include "platform/linux/RootWallpaper.h"
#include "text/Codec.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace veska {
namespace {

using test::EnvGuard;
using test::TempDir;

// A private X server for the root-window tests.
class Xvfb {
public:
    Xvfb() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        std::string fd = std::to_string(fds[1]);
        std::vector<std::string> args{"Xvfb", "-displayfd", fd, "-screen", "0", "320x240x24", "-nolisten", "tcp",
                                      "-noreset"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&quiet, fds[0]);
        int rc = ::posix_spawnp(&pid_, "Xvfb", &quiet, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&quiet);
        ::close(fds[1]);
        if (rc != 0) {
            pid_ = -1;
            ::close(fds[0]);
            return;
        }
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (::poll(&p, 1, 20000) > 0) {
            char c;
            if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        ::close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~Xvfb() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool spawned() const { return pid_ > 0; }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

class RootWallpaperTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xvfb.spawned()) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_FALSE(xvfb.display().empty()) << "Xvfb did not start";
        d = XOpenDisplay(xvfb.display().c_str());
        ASSERT_NE(d, nullptr);
        root = DefaultRootWindow(d);
        Visual* v = DefaultVisual(d, DefaultScreen(d));
        ASSERT_EQ(v->red_mask, 0xff0000u);
        ASSERT_EQ(v->blue_mask, 0xffu);
        // 40 x 30: the top-left 20 x 15 red, the rest blue.
        QImage img(40, 30, QImage::Format_RGB32);
        img.fill(QColor(0, 0, 255));
        for (int y = 0; y < 15; ++y)
            for (int x = 0; x < 20; ++x) img.setPixel(x, y, qRgb(255, 0, 0));
        ASSERT_TRUE(img.save(QString::fromStdString(bmp), "BMP"));
    }
    void TearDown() override {
        if (d) XCloseDisplay(d);
    }
    uint32_t pixel(int x, int y) {
        XImage* img = XGetImage(d, root, x, y, 1, 1, AllPlanes, ZPixmap);
        uint32_t p = static_cast<uint32_t>(XGetPixel(img, 0, 0)) & 0xffffff;
        XDestroyImage(img);
        return p;
    }
    std::optional<Pixmap> announced(const char* name) {
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char* data = nullptr;
        std::optional<Pixmap> out;
        if (XGetWindowProperty(d, root, XInternAtom(d, name, False), 0, 1, False, XA_PIXMAP, &type, &format, &n,
                               &after, &data) == Success &&
            type == XA_PIXMAP && n == 1)
            out = *reinterpret_cast<unsigned long*>(data);
        if (data) XFree(data);
        return out;
    }
    bool alive(Pixmap pm) {
        auto old = XSetErrorHandler(ignoreErrors);
        Window r;
        int x, y;
        unsigned w, h, b, depth;
        Status ok = XGetGeometry(d, pm, &r, &x, &y, &w, &h, &b, &depth);
        XSync(d, False);
        XSetErrorHandler(old);
        return ok != 0;
    }
    void set(const std::string& path, bool tiled) {
        EnvGuard display("DISPLAY", xvfb.display());
        EnvGuard desktop("XDG_CURRENT_DESKTOP", std::nullopt), sway("SWAYSOCK", std::nullopt),
            wayland("WAYLAND_DISPLAY", std::nullopt), session("XDG_SESSION_TYPE", "x11");
        LinuxWallpaper().SetDeskWallpaper(*fromUtf8(path), tiled);
    }

    static constexpr uint32_t kRed = 0xff0000, kBlue = 0x0000ff, kPlain = kPlainDesktopRgb;
    Xvfb xvfb;
    TempDir dir;
    const std::string bmp = dir / "wall paper.bmp";
    Display* d = nullptr;
    Window root = 0;
};

TEST_F(RootWallpaperTest, CentredSitsInTheMiddleOnThePlainColour) {
    set(bmp, false);
    // 320 x 240 screen: the picture spans (140, 105) to (179, 134).
    EXPECT_EQ(pixel(0, 0), kPlain);
    EXPECT_EQ(pixel(139, 105), kPlain);
    EXPECT_EQ(pixel(140, 105), kRed);
    EXPECT_EQ(pixel(159, 119), kRed);
    EXPECT_EQ(pixel(160, 119), kBlue);
    EXPECT_EQ(pixel(179, 134), kBlue);
    EXPECT_EQ(pixel(180, 134), kPlain);
    EXPECT_EQ(pixel(319, 239), kPlain);
}

TEST_F(RootWallpaperTest, TiledRepeatsFromTheTopLeftCorner) {
    set(bmp, true);
    EXPECT_EQ(pixel(0, 0), kRed);
    EXPECT_EQ(pixel(20, 0), kBlue);
    EXPECT_EQ(pixel(40, 0), kRed);
    EXPECT_EQ(pixel(45, 35), kRed);
    EXPECT_EQ(pixel(60, 45), kBlue);
    EXPECT_EQ(pixel(319, 239), kBlue);  // 319 % 40 = 39, 239 % 30 = 29
}

TEST_F(RootWallpaperTest, ThePixmapOutlivesItsConnectionAndTheNextOneReleasesIt) {
    set(bmp, false);
    auto first = announced("_XROOTPMAP_ID");
    ASSERT_TRUE(first);
    EXPECT_EQ(announced("ESETROOT_PMAP_ID"), first);
    EXPECT_TRUE(alive(*first));
    set(bmp, true);
    auto second = announced("_XROOTPMAP_ID");
    ASSERT_TRUE(second);
    EXPECT_NE(*second, *first);
    EXPECT_TRUE(alive(*second));
    EXPECT_FALSE(alive(*first)) << "the previous wallpaper is leaked in the server";
}

TEST_F(RootWallpaperTest, AnEmptyPathRestoresThePlainBackground) {
    set(bmp, true);
    auto shown = announced("_XROOTPMAP_ID");
    ASSERT_TRUE(shown);
    set("", true);
    EXPECT_EQ(pixel(0, 0), kPlain);
    EXPECT_EQ(pixel(150, 110), kPlain);
    EXPECT_FALSE(announced("_XROOTPMAP_ID"));
    EXPECT_FALSE(announced("ESETROOT_PMAP_ID"));
    EXPECT_FALSE(alive(*shown));
}

TEST_F(RootWallpaperTest, APathThatNamesNoPictureLeavesTheWallpaperAsItIs) {
    set(bmp, true);
    auto shown = announced("_XROOTPMAP_ID");
    test::WriteFile(dir / "fake.bmp", "not a picture");
    set(dir / "fake.bmp", false);
    set(dir / "missing.bmp", false);
    EXPECT_EQ(pixel(0, 0), kRed);
    EXPECT_EQ(announced("_XROOTPMAP_ID"), shown);
}

TEST_F(RootWallpaperTest, AnotherClientsPixmapIsNotKilled) {
    // A pixmap announced under one name only may belong to a live client, not a leftover.
    Display* other = XOpenDisplay(xvfb.display().c_str());
    ASSERT_NE(other, nullptr);
    Pixmap own = XCreatePixmap(other, DefaultRootWindow(other), 8, 8, 24);
    XChangeProperty(other, DefaultRootWindow(other), XInternAtom(other, "ESETROOT_PMAP_ID", False), XA_PIXMAP, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&own), 1);
    XSync(other, False);
    set(bmp, false);
    bool survived = alive(own);
    EXPECT_TRUE(survived) << "the other client was killed";
    if (survived) XCloseDisplay(other);  // a killed connection would end this process on close
}

TEST_F(RootWallpaperTest, AStaleAnnouncementKillsNobody) {
    // A setter that did not keep its pixmap announced it and left: the id is free, and the server
    // hands the same ids to the next connection, ours.
    Display* other = XOpenDisplay(xvfb.display().c_str());
    ASSERT_NE(other, nullptr);
    // Ours come in this order: a GC, the picture, the root-sized pixmap that gets announced.
    GC gc = XCreateGC(other, DefaultRootWindow(other), 0, nullptr);
    XCreatePixmap(other, DefaultRootWindow(other), 8, 8, 24);
    Pixmap gone = XCreatePixmap(other, DefaultRootWindow(other), 8, 8, 24);
    for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"})
        XChangeProperty(other, DefaultRootWindow(other), XInternAtom(other, name, False), XA_PIXMAP, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&gone), 1);
    XFreeGC(other, gc);
    XCloseDisplay(other);
    // In a child: a connection that kills itself ends its process.
    pid_t pid = ::fork();
    if (pid == 0) {
        set(bmp, true);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "setting the wallpaper killed its own connection";
    EXPECT_EQ(pixel(0, 0), kRed);
    auto shown = announced("_XROOTPMAP_ID");
    ASSERT_TRUE(shown);
    EXPECT_TRUE(alive(*shown));
}

}  // namespace
}  // namespace veska
