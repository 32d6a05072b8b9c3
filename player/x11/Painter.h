#pragma once
// Shows the shows in windows of the player's own, inside the window it was
// given or made: a canvas over all of that window in the background colour,
// and for each show a stage over its area (which clips the picture to it)
// holding the picture as a window whose background is the picture itself,
// copied once into the X server. The server repaints each of them from its
// background whenever anything uncovers or clears it, so a host that paints
// or clears its own window (mate-screensaver does both, and tells nobody)
// never leaves a hole; a step of the motion is one move of a window.
#include "common/Geometry.h"
#include "engine/ShowEngine.h"

#include <X11/Xlib.h>

#include <string>

namespace x11 {

class Painter {
public:
    // `window` may be anyone's (XScreenSaver's window): the windows inside it
    // take its visual and depth. `colorRef` is the settings' 0x00BBGGRR.
    // On the `desktop` (the root or a virtual root) the show stays below
    // every other window in it.
    Painter(Display* display, ::Window window, const XWindowAttributes& attributes, std::uint32_t colorRef, bool desktop);
    ~Painter();
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    // Empty when the window can be drawn in; else why not, for a person.
    const std::string& problem() const { return problem_; }
    unsigned long backgroundPixel() const { return background_; }
    // The window over all of the given one, where messages may go too.
    ::Window canvas() const { return canvas_; }

    // The window's size.
    void setSize(int windowWidth, int windowHeight);
    // The canvas painted again from its background. A host that paints
    // over its children too (cairo draws so) sends no word of it: the show
    // calls this now and then.
    void refresh();

private:
    friend class Stage;
    ::Window child(::Window parent, const PictureRect& r);
    Pixmap upload(const FittedPicture& picture, int width, int height);

    Display* display_;
    Visual* visual_;
    int depth_;
    player::PixelLayout layout_;
    int bitsPerPixel_ = 0;
    unsigned long background_ = 0;
    GC gc_ = nullptr;   // for uploads
    std::string problem_;
    ::Window canvas_ = 0;
};

// One show's part of the canvas: its area, and its picture placed, replaced
// or hidden there.
class Stage {
public:
    explicit Stage(Painter& painter);
    ~Stage();
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    // Where in the window the show runs.
    void place(const PictureRect& area);
    // The frame on the screen.
    void show(const ShowFrame& frame);
    // Painted again from its backgrounds (Painter::refresh).
    void refresh();

private:
    void setPicture(const ShowFrame& frame);

    Painter& painter_;
    Display* display_;
    ::Window stage_ = 0, picture_ = 0;
    ShowFrame shown_;          // what the picture window shows, and where
    bool pictureSet_ = false;  // shown_ holds a picture that the window has
};

} // namespace x11
