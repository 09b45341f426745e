#include "platform/linux/RootWallpaper.h"

// Qt first: Xlib's macros (Status, None, ...) break Qt's headers.
#include <QImage>
#include <cstdlib>
#include <optional>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/linux/XErrorTrap.h"

namespace veska {
namespace {

unsigned long channel(unsigned long mask, unsigned value8) {
    if (mask == 0) return 0;
    int shift = __builtin_ctzl(mask);
    int bits = __builtin_popcountl(mask);
    unsigned long v = bits <= 8 ? value8 >> (8 - bits) : static_cast<unsigned long>(value8) << (bits - 8);
    return (v << shift) & mask;
}

unsigned long pixelOf(const Visual* v, QRgb rgb) {
    return channel(v->red_mask, qRed(rgb)) | channel(v->green_mask, qGreen(rgb)) | channel(v->blue_mask, qBlue(rgb));
}

QRgb overPlain(QRgb px) {
    int a = qAlpha(px);
    if (a == 255) return px;
    auto mix = [a](int fg, int bg) { return (fg * a + bg * (255 - a)) / 255; };
    return qRgb(mix(qRed(px), (kPlainDesktopRgb >> 16) & 0xff), mix(qGreen(px), (kPlainDesktopRgb >> 8) & 0xff),
                mix(qBlue(px), kPlainDesktopRgb & 0xff));
}

std::optional<Pixmap> pixmapProperty(Display* d, Window root, Atom prop) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<Pixmap> out;
    if (XGetWindowProperty(d, root, prop, 0, 1, False, XA_PIXMAP, &type, &format, &count, &after, &data) == Success &&
        type == XA_PIXMAP && format == 32 && count == 1 && data != nullptr)
        out = static_cast<Pixmap>(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    return out;
}

// The picture in the screen's pixel format, as a server-side pixmap of the picture's size.
Pixmap upload(Display* d, Window root, int screen, const QImage& picture, GC gc) {
    Visual* visual = DefaultVisual(d, screen);
    int depth = DefaultDepth(d, screen);
    QImage img = picture.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width(), h = img.height();
    XImage* xi = XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), 32, 0);
    if (xi == nullptr) return None;
    const std::size_t bytes = static_cast<std::size_t>(xi->bytes_per_line) * static_cast<std::size_t>(h);
    xi->data = static_cast<char*>(std::malloc(bytes));
    if (xi->data == nullptr) {
        XDestroyImage(xi);
        return None;
    }
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) XPutPixel(xi, x, y, pixelOf(visual, overPlain(line[x])));
    }
    Pixmap pm =
        XCreatePixmap(d, root, static_cast<unsigned>(w), static_cast<unsigned>(h), static_cast<unsigned>(depth));
    XPutImage(d, pm, gc, xi, 0, 0, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XDestroyImage(xi);
    return pm;
}

}  // namespace

bool SetRootWallpaper(const QImage* picture, bool tiled) {
    Display* d = XOpenDisplay(nullptr);  // our own connection: its resources are kept after it closes
    if (d == nullptr) return false;
    XErrorTrap trap;  // a stale pixmap id must not take us down
    const int screen = DefaultScreen(d);
    const Window root = RootWindow(d, screen);
    Visual* visual = DefaultVisual(d, screen);
    const unsigned long plain = pixelOf(visual, kPlainDesktopRgb);
    Atom rootId = XInternAtom(d, "_XROOTPMAP_ID", False);
    Atom esetId = XInternAtom(d, "ESETROOT_PMAP_ID", False);

    // Only a pixmap announced under both names belongs to a client kept alive just for it.
    Pixmap previous = None;
    if (auto eset = pixmapProperty(d, root, esetId)) {
        auto shown = pixmapProperty(d, root, rootId);
        // Kill only a pixmap that still exists: a freed one's id may be reused by a live client, us included.
        Window r;
        int x, y;
        unsigned w, h, border, depth;
        if (shown && *shown == *eset && XGetGeometry(d, *eset, &r, &x, &y, &w, &h, &border, &depth) != 0)
            previous = *eset;
    }

    bool drawn = false;
    if (picture != nullptr && !picture->isNull() && visual->c_class == TrueColor) {
        const int W = DisplayWidth(d, screen), H = DisplayHeight(d, screen);
        const int depth = DefaultDepth(d, screen);
        GC gc = XCreateGC(d, root, 0, nullptr);
        Pixmap tile = upload(d, root, screen, *picture, gc);
        if (tile != None) {
            Pixmap full = XCreatePixmap(d, root, static_cast<unsigned>(W), static_cast<unsigned>(H),
                                        static_cast<unsigned>(depth));
            if (tiled) {
                XSetTile(d, gc, tile);
                XSetTSOrigin(d, gc, 0, 0);
                XSetFillStyle(d, gc, FillTiled);
                XFillRectangle(d, full, gc, 0, 0, static_cast<unsigned>(W), static_cast<unsigned>(H));
            } else {
                XSetForeground(d, gc, plain);
                XFillRectangle(d, full, gc, 0, 0, static_cast<unsigned>(W), static_cast<unsigned>(H));
                XCopyArea(d, tile, full, gc, 0, 0, static_cast<unsigned>(picture->width()),
                          static_cast<unsigned>(picture->height()), (W - picture->width()) / 2,
                          (H - picture->height()) / 2);
            }
            XFreePixmap(d, tile);
            XSetWindowBackgroundPixmap(d, root, full);
            for (Atom name : {rootId, esetId})
                XChangeProperty(d, root, name, XA_PIXMAP, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&full),
                                1);
            drawn = true;
        }
        XFreeGC(d, gc);
    }
    if (!drawn) {
        XSetWindowBackground(d, root, plain);
        XDeleteProperty(d, root, rootId);
        XDeleteProperty(d, root, esetId);
    }
    XClearWindow(d, root);
    if (previous != None) XKillClient(d, previous);  // frees the pixmap set before and the client kept for it
    if (drawn) XSetCloseDownMode(d, RetainPermanent);
    XSync(d, False);
    XCloseDisplay(d);
    return true;
}

}  // namespace veska
