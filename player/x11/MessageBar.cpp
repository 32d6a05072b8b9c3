#include "x11/MessageBar.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>

namespace x11 {

namespace {
constexpr int padding = 8;

// UTF-8 as the 16-bit characters of a core X font: characters beyond its
// range, or any but ASCII without a Unicode font, as "?".
std::vector<XChar2b> characters(const std::string& text, bool unicode)
{
    std::vector<XChar2b> out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
        std::uint32_t cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        std::size_t n = 1;
        for (int k = 1; k <= extra && i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80; ++k, ++n)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + n]) & 0x3F);
        if (extra < 0 || int(n) != extra + 1 || cp < 0x20 || cp > 0xFFFF || (!unicode && cp > 0x7E))
            cp = '?';
        out.push_back({static_cast<unsigned char>(cp >> 8), static_cast<unsigned char>(cp & 0xFF)});
        i += n;
    }
    return out;
}
} // namespace

MessageBar::MessageBar(Display* display, ::Window parent) : display_(display), parent_(parent)
{
    // The core fonts every X server has; "fixed" is built into the server.
    for (const char* name : {"-misc-fixed-medium-r-normal--14-*-*-*-*-*-iso10646-1", "-*-*-medium-r-normal--14-*-*-*-*-*-iso10646-1",
                             "-*-*-*-r-*--*-*-*-*-*-*-iso10646-1"}) {
        if ((font_ = XLoadQueryFont(display_, name))) {
            unicodeFont_ = true;
            break;
        }
    }
    if (!font_)
        font_ = XLoadQueryFont(display_, "fixed");
}

MessageBar::~MessageBar()
{
    if (gc_)
        XFreeGC(display_, gc_);
    if (window_)
        XDestroyWindow(display_, window_);
    if (font_)
        XFreeFont(display_, font_);
}

void MessageBar::show(const std::string& text, const PictureRect& area, std::int64_t nowMs)
{
    if (!font_)
        return;
    text_ = characters(text, unicodeFont_);
    const int width = XTextWidth16(font_, text_.data(), int(text_.size()));
    const int w = std::min(width + 2 * padding, std::max(1, area.width));
    const int h = font_->ascent + font_->descent + 2 * padding;
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
        v.font = font_->fid;
        gc_ = XCreateGC(display_, window_, GCForeground | GCBackground | GCFont, &v);
    } else {
        XMoveResizeWindow(display_, window_, x, y, unsigned(w), unsigned(h));
    }
    XMapRaised(display_, window_);
    paint();
    hideAt_ = nowMs + shownMs;
}

void MessageBar::paint()
{
    if (!window_ || text_.empty())
        return;
    XClearWindow(display_, window_);
    XDrawString16(display_, window_, gc_, padding, padding + font_->ascent, text_.data(), int(text_.size()));
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
