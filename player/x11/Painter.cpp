#include "x11/Painter.h"

#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>

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

Painter::Painter(Display* display, ::Window window, const XWindowAttributes& attributes, std::uint32_t colorRef)
    : display_(display), window_(window), visual_(attributes.visual), depth_(attributes.depth)
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
    background_ = pixelOfColorRef(layout_, colorRef);
    XGCValues values{};
    values.foreground = background_;
    values.graphics_exposures = False;
    gc_ = XCreateGC(display_, window_, GCForeground | GCGraphicsExposures, &values);
}

Painter::~Painter()
{
    if (pixmap_)
        XFreePixmap(display_, pixmap_);
    if (gc_)
        XFreeGC(display_, gc_);
}

void Painter::setGeometry(int windowWidth, int windowHeight, const PictureRect& showArea)
{
    windowWidth_ = windowWidth;
    windowHeight_ = windowHeight;
    area_ = showArea;
}

PictureRect Painter::onWindow(const PictureRect& r) const
{
    return {r.left + area_.left, r.top + area_.top, r.width, r.height};
}

void Painter::fill(const PictureRect& r)
{
    if (!gc_ || isEmpty(r))
        return;
    XSetForeground(display_, gc_, background_);
    XFillRectangle(display_, window_, gc_, r.left, r.top, unsigned(r.width), unsigned(r.height));
}

void Painter::paintAll(const ShowFrame& frame)
{
    if (!gc_)
        return;
    const PictureRect shown = frame.visible ? intersect(onWindow(frame.rect), area_) : PictureRect{};
    // The background around the picture, never under it: no flicker.
    for (const PictureRect& r : subtract({0, 0, windowWidth_, windowHeight_}, shown))
        fill(r);
    if (frame.visible)
        drawPicture(frame, area_);
}

void Painter::paintChange(const ShowFrame& before, const ShowFrame& after)
{
    if (!gc_ || ChangedAreas(before, after).empty())
        return;
    const PictureRect now = after.visible ? intersect(onWindow(after.rect), area_) : PictureRect{};
    if (before.visible)
        for (const PictureRect& r : subtract(intersect(onWindow(before.rect), area_), now))
            fill(r);
    if (after.visible)
        drawPicture(after, area_);
}

void Painter::drawPicture(const ShowFrame& frame, const PictureRect& clip)
{
    if (!frame.picture || frame.rect.width <= 0 || frame.rect.height <= 0)
        return;
    if (!upload(frame.picture, frame.rect.width, frame.rect.height)) {
        // No copy in the server (it refused the memory): the rectangle keeps
        // the background rather than stale pixels.
        fill(intersect(onWindow(frame.rect), clip));
        return;
    }
    const PictureRect to = intersect(onWindow(frame.rect), clip);
    if (isEmpty(to))
        return;
    const PictureRect at = onWindow(frame.rect);
    XCopyArea(display_, pixmap_, window_, gc_, to.left - at.left, to.top - at.top, unsigned(to.width), unsigned(to.height), to.left,
              to.top);
}

bool Painter::upload(const std::shared_ptr<const FittedPicture>& picture, int width, int height)
{
    if (uploaded_ == picture && pixmapWidth_ == width && pixmapHeight_ == height)
        return pixmap_ != 0;
    if (pixmap_)
        XFreePixmap(display_, pixmap_);
    pixmap_ = 0;
    uploaded_ = picture;
    pixmapWidth_ = width;
    pixmapHeight_ = height;
    const PixelBuffer& pixels = picture->pixels;
    if (pixels.empty() || bitsPerPixel_ == 0)
        return false;
    // The decoded pixels as they are when they have the shown size and the
    // window's layout; otherwise a copy stretched and packed for it.
    std::vector<std::uint32_t> stretched;
    const std::uint32_t* rows = pixels.row(0);
    if (pixels.width() != width || pixels.height() != height) {
        stretched = stretchTo(pixels, width, height);
        rows = stretched.data();
    }
    const bool direct = layout_.isRgb32() && bitsPerPixel_ == 32;
    XImage* image = XCreateImage(display_, visual_, unsigned(depth_), ZPixmap, 0, nullptr, unsigned(width), unsigned(height), 32, 0);
    if (!image)
        return false;
    if (direct) {
        image->data = reinterpret_cast<char*>(const_cast<std::uint32_t*>(rows));
        image->byte_order = LSBFirst;   // the pixels are host-order uint32 (x86, ARM)
        image->bytes_per_line = width * 4;
    } else {
        image->data = static_cast<char*>(std::malloc(std::size_t(image->bytes_per_line) * std::size_t(height)));
        if (!image->data) {
            XDestroyImage(image);
            return false;
        }
        for (int y = 0; y < height; ++y) {
            const std::uint32_t* row = rows + std::size_t(y) * std::size_t(width);
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = row[x];
                XPutPixel(image, x, y, pixelOf(layout_, int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)));
            }
        }
    }
    pixmap_ = XCreatePixmap(display_, window_, unsigned(width), unsigned(height), unsigned(depth_));
    XPutImage(display_, pixmap_, gc_, image, 0, 0, 0, 0, unsigned(width), unsigned(height));
    if (direct)
        image->data = nullptr;   // the picture's own memory
    XDestroyImage(image);
    return true;
}

} // namespace x11
