#include "x11/MessageBar.h"

#include <X11/Xutil.h>

#include <algorithm>

namespace x11 {

namespace {
constexpr int padding = 8;

// Without a font set (no locale support), the core font shows ASCII only.
std::string asciiOnly(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += c < 0x20 ? '?' : char(c);
        } else if ((c & 0xC0) != 0x80) {
            out += '?';   // one for each character, not for each byte
        }
    }
    return out;
}
} // namespace

MessageBar::MessageBar(Display* display, ::Window parent) : display_(display), parent_(parent)
{
    char** missing = nullptr;
    int missingCount = 0;
    char* fallback = nullptr;
    if (XSupportsLocale())
        fontSet_ = XCreateFontSet(display_, "-*-*-medium-r-normal--14-*-*-*-*-*-*-*,-*-*-medium-r-*--*-*-*-*-*-*-*-*,fixed", &missing,
                                  &missingCount, &fallback);
    if (missing)
        XFreeStringList(missing);
    if (!fontSet_)
        font_ = XLoadQueryFont(display_, "fixed");
}

MessageBar::~MessageBar()
{
    if (gc_)
        XFreeGC(display_, gc_);
    if (window_)
        XDestroyWindow(display_, window_);
    if (fontSet_)
        XFreeFontSet(display_, fontSet_);
    if (font_)
        XFreeFont(display_, font_);
}

void MessageBar::show(const std::string& text, const PictureRect& area, std::int64_t nowMs)
{
    if (!fontSet_ && !font_)
        return;
    text_ = fontSet_ ? text : asciiOnly(text);
    int width = 0, ascent = 0, descent = 0;
    if (fontSet_) {
        XRectangle ink{}, logical{};
        Xutf8TextExtents(fontSet_, text_.data(), int(text_.size()), &ink, &logical);
        width = logical.width;
        ascent = -logical.y;
        descent = logical.height + logical.y;
    } else {
        width = XTextWidth(font_, text_.data(), int(text_.size()));
        ascent = font_->ascent;
        descent = font_->descent;
    }
    const int w = std::min(width + 2 * padding, std::max(1, area.width));
    const int h = ascent + descent + 2 * padding;
    const int x = area.left + std::max(0, (area.width - w) / 2);
    const int y = area.top + std::max(0, area.height - h - 2 * padding);
    const int screen = DefaultScreen(display_);
    if (!window_) {
        window_ = XCreateSimpleWindow(display_, parent_, x, y, unsigned(w), unsigned(h), 1, WhitePixel(display_, screen),
                                      BlackPixel(display_, screen));
        XSelectInput(display_, window_, ExposureMask);
        XGCValues v{};
        v.foreground = WhitePixel(display_, screen);
        v.background = BlackPixel(display_, screen);
        gc_ = XCreateGC(display_, window_, GCForeground | GCBackground, &v);
        if (font_)
            XSetFont(display_, gc_, font_->fid);
    } else {
        XMoveResizeWindow(display_, window_, x, y, unsigned(w), unsigned(h));
    }
    XMapRaised(display_, window_);
    XClearWindow(display_, window_);
    paint();
    hideAt_ = nowMs + shownMs;
}

void MessageBar::paint()
{
    if (!window_ || text_.empty())
        return;
    XClearWindow(display_, window_);
    if (fontSet_) {
        XRectangle ink{}, logical{};
        Xutf8TextExtents(fontSet_, text_.data(), int(text_.size()), &ink, &logical);
        Xutf8DrawString(display_, window_, fontSet_, gc_, padding, padding - logical.y, text_.data(), int(text_.size()));
    } else if (font_) {
        XDrawString(display_, window_, gc_, padding, padding + font_->ascent, text_.data(), int(text_.size()));
    }
}

void MessageBar::tick(std::int64_t nowMs)
{
    if (hideAt_ != 0 && nowMs >= hideAt_) {
        hideAt_ = 0;
        text_.clear();
        if (window_)
            XUnmapWindow(display_, window_);
    }
}

} // namespace x11
