#pragma once
// A message in the player's own window (full screen, or --window): a plain
// bar at the bottom of the show, white on black, that stays a few seconds
// while the show goes on behind it. Never used in a window the player was
// given: there, messages go to standard error only.
#include "engine/ShowEngine.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace x11 {

class MessageBar {
public:
    static constexpr std::int64_t shownMs = 8000;

    MessageBar(Display* display, ::Window parent);
    ~MessageBar();
    MessageBar(const MessageBar&) = delete;
    MessageBar& operator=(const MessageBar&) = delete;

    // Shows `text` (UTF-8) at the bottom of `area` (the parent's coordinates)
    // until `nowMs` + shownMs; a newer message takes the place of an older one.
    void show(const std::string& text, const PictureRect& area, std::int64_t nowMs);
    // Hides it once its time is up.
    void tick(std::int64_t nowMs);
    // When tick is wanted next; 0 when the bar is hidden.
    std::int64_t dueAt() const { return hideAt_; }
    bool owns(::Window w) const { return w == window_ && window_ != 0; }
    void paint();

private:
    Display* display_;
    ::Window parent_;
    ::Window window_ = 0;
    GC gc_ = nullptr;
    XFontStruct* font_ = nullptr;
    bool unicodeFont_ = false;   // an ISO 10646 font: every character, else ASCII
    std::vector<XChar2b> text_;
    std::int64_t hideAt_ = 0;
};

} // namespace x11
