#include "x11/Painter.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>

namespace x11 {

namespace {
int bitsPerPixelOf(Display* display, int depth)
{
    int n = 0;
    int bits = 0;
    if (XPixmapFormatValues* formats = XListPixmapFormats(display, &n)) {
        for (int i = 0; i < n; ++i)
            if (formats[i].depth == depth)
                bits = formats[i].bits_per_pixel;
        XFree(formats);
    }
    return bits;
}
} // namespace

Painter::Painter(Display* display, ::Window window, const XWindowAttributes& attributes, std::uint32_t colorRef, bool desktop)
    : display_(display), visual_(attributes.visual), depth_(attributes.depth)
{
    // Every screen of today is TrueColor; a palette screen would need a
    // colour allocated for each of a photo's pixels.
    if (!visual_ || (visual_->c_class != TrueColor && visual_->c_class != DirectColor)) {
        problem_ = "The window cannot show photos: its display has no true colour (it has " + std::to_string(depth_) + " bits of palette).";
        return;
    }
    layout_.redMask = std::uint32_t(visual_->red_mask);
    layout_.greenMask = std::uint32_t(visual_->green_mask);
    layout_.blueMask = std::uint32_t(visual_->blue_mask);
    const std::uint32_t depthBits = depth_ >= 32 ? 0xFFFFFFFFu : (1u << depth_) - 1;
    layout_.alphaMask = depthBits & ~(layout_.redMask | layout_.greenMask | layout_.blueMask);
    bitsPerPixel_ = bitsPerPixelOf(display_, depth_);
    background_ = player::pixelOfColorRef(layout_, colorRef);

    canvas_ = child(window, {0, 0, attributes.width, attributes.height});
    if (desktop) {
        // Below every program's window, and no window manager's to frame.
        XSetWindowAttributes a{};
        a.override_redirect = True;
        XChangeWindowAttributes(display_, canvas_, CWOverrideRedirect, &a);
        XLowerWindow(display_, canvas_);
    }
    XMapWindow(display_, canvas_);
    XGCValues values{};
    values.graphics_exposures = False;
    gc_ = XCreateGC(display_, canvas_, GCGraphicsExposures, &values);
}

Painter::~Painter()
{
    if (gc_)
        XFreeGC(display_, gc_);
    if (canvas_)
        XDestroyWindow(display_, canvas_);
}

::Window Painter::child(::Window parent, const PictureRect& r)
{
    XSetWindowAttributes a{};
    a.background_pixel = background_;
    a.border_pixel = 0;
    return XCreateWindow(display_, parent, r.left, r.top, unsigned(std::max(1, r.width)), unsigned(std::max(1, r.height)), 0, depth_,
                         InputOutput, visual_, CWBackPixel | CWBorderPixel, &a);
}

void Painter::setSize(int windowWidth, int windowHeight)
{
    if (canvas_)
        XResizeWindow(display_, canvas_, unsigned(std::max(1, windowWidth)), unsigned(std::max(1, windowHeight)));
}

void Painter::refresh()
{
    if (canvas_)
        XClearWindow(display_, canvas_);
}

Stage::Stage(Painter& painter) : painter_(painter), display_(painter.display_)
{
    if (!painter_.canvas_)
        return;
    stage_ = painter_.child(painter_.canvas_, {0, 0, 1, 1});
    picture_ = painter_.child(stage_, {0, 0, 1, 1});
    XMapWindow(display_, stage_);
}

Stage::~Stage()
{
    // The picture's window goes with it.
    if (stage_)
        XDestroyWindow(display_, stage_);
}

void Stage::place(const PictureRect& area)
{
    if (stage_)
        XMoveResizeWindow(display_, stage_, area.left, area.top, unsigned(std::max(1, area.width)), unsigned(std::max(1, area.height)));
}

void Stage::show(const ShowFrame& frame)
{
    if (!stage_)
        return;
    const bool visible = frame.visible && frame.picture && frame.rect.width > 0 && frame.rect.height > 0;
    if (!visible) {
        if (shown_.visible)
            XUnmapWindow(display_, picture_);
        shown_ = ShowFrame{};
        return;
    }
    if (!pictureSet_ || shown_.picture != frame.picture || shown_.rect.width != frame.rect.width ||
        shown_.rect.height != frame.rect.height) {
        setPicture(frame);
    } else if (shown_.rect.left != frame.rect.left || shown_.rect.top != frame.rect.top) {
        XMoveWindow(display_, picture_, frame.rect.left, frame.rect.top);
    }
    if (!shown_.visible)
        XMapWindow(display_, picture_);
    shown_ = frame;
}

void Stage::setPicture(const ShowFrame& frame)
{
    // Without a copy in the server (it refused the memory) the place keeps
    // the background rather than stale pixels.
    if (const Pixmap pixmap = painter_.upload(*frame.picture, frame.rect.width, frame.rect.height)) {
        XSetWindowBackgroundPixmap(display_, picture_, pixmap);
        // The window keeps the picture as long as it needs it.
        XFreePixmap(display_, pixmap);
    } else {
        XSetWindowBackground(display_, picture_, painter_.background_);
    }
    XMoveResizeWindow(display_, picture_, frame.rect.left, frame.rect.top, unsigned(frame.rect.width), unsigned(frame.rect.height));
    XClearWindow(display_, picture_);
    pictureSet_ = true;
}

void Stage::refresh()
{
    if (!stage_)
        return;
    XClearWindow(display_, stage_);
    if (shown_.visible)
        XClearWindow(display_, picture_);
}

Pixmap Painter::upload(const FittedPicture& picture, int width, int height)
{
    const PixelBuffer& pixels = picture.pixels;
    if (pixels.empty() || bitsPerPixel_ == 0)
        return 0;
    // The decoded pixels as they are when they have the shown size and the
    // window's layout; otherwise a copy stretched and packed for it.
    std::vector<std::uint32_t> stretched;
    const std::uint32_t* rows = pixels.row(0);
    if (pixels.width() != width || pixels.height() != height) {
        stretched = player::stretchTo(pixels, width, height);
        rows = stretched.data();
    }
    const bool direct = layout_.isRgb32() && bitsPerPixel_ == 32;
    XImage* image = XCreateImage(display_, visual_, unsigned(depth_), ZPixmap, 0, nullptr, unsigned(width), unsigned(height), 32, 0);
    if (!image)
        return 0;
    if (direct) {
        image->data = reinterpret_cast<char*>(const_cast<std::uint32_t*>(rows));
        image->byte_order = LSBFirst;   // the pixels are host-order uint32 (x86, ARM)
        image->bytes_per_line = width * 4;
    } else {
        image->data = static_cast<char*>(std::malloc(std::size_t(image->bytes_per_line) * std::size_t(height)));
        if (!image->data) {
            XDestroyImage(image);
            return 0;
        }
        for (int y = 0; y < height; ++y) {
            const std::uint32_t* row = rows + std::size_t(y) * std::size_t(width);
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = row[x];
                XPutPixel(image, x, y, player::pixelOf(layout_, int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)));
            }
        }
    }
    const Pixmap pixmap = XCreatePixmap(display_, canvas_, unsigned(width), unsigned(height), unsigned(depth_));
    XPutImage(display_, pixmap, gc_, image, 0, 0, 0, 0, unsigned(width), unsigned(height));
    if (direct)
        image->data = nullptr;   // the picture's own memory
    XDestroyImage(image);
    return pixmap;
}

} // namespace x11
