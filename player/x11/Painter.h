#pragma once
// Draws the show into one X window: the background colour, and the shown
// picture from a copy kept in the X server (a pixmap), so that a step of the
// motion sends a few small requests instead of the picture's pixels.
#include "engine/ShowEngine.h"
#include "x11/Geometry.h"

#include <X11/Xlib.h>

#include <string>

namespace x11 {

class Painter {
public:
    // `window` may be anyone's (XScreenSaver's window): it is drawn in with
    // its own visual and depth. `colorRef` is the settings' 0x00BBGGRR.
    Painter(Display* display, ::Window window, const XWindowAttributes& attributes, std::uint32_t colorRef);
    ~Painter();
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    // Empty when the window can be drawn in; else why not, for a person.
    const std::string& problem() const { return problem_; }
    unsigned long backgroundPixel() const { return background_; }

    // The window's size and where in it the show runs.
    void setGeometry(int windowWidth, int windowHeight, const PictureRect& showArea);
    // Everything again: the background over the whole window, the picture.
    void paintAll(const ShowFrame& frame);
    // Only what changed from `before` to `after`.
    void paintChange(const ShowFrame& before, const ShowFrame& after);

private:
    void fill(const PictureRect& r);
    void drawPicture(const ShowFrame& frame, const PictureRect& clip);
    bool upload(const std::shared_ptr<const FittedPicture>& picture, int width, int height);
    PictureRect onWindow(const PictureRect& r) const;

    Display* display_;
    ::Window window_;
    Visual* visual_;
    int depth_;
    PixelLayout layout_;
    int bitsPerPixel_ = 0;
    GC gc_ = nullptr;
    unsigned long background_ = 0;
    std::string problem_;
    int windowWidth_ = 0, windowHeight_ = 0;
    PictureRect area_;
    Pixmap pixmap_ = 0;
    std::shared_ptr<const FittedPicture> uploaded_;   // what the pixmap holds
    int pixmapWidth_ = 0, pixmapHeight_ = 0;
};

} // namespace x11
