#pragma once
// The arithmetic of scaled outputs, apart from the protocol so that it can be
// tested on its own. The show runs in the output's pixels (one picture pixel
// is one screen pixel); Wayland places surfaces in logical units, the pixels
// divided by the scale. A scale is given in 120ths (120: 1, 180: 1.5), as
// fractional scaling tells it.
#include "engine/ShowEngine.h"

namespace wayland {

inline constexpr int wholeScale = 120;

// Pixels of `logical` units at `scale120`, rounded as the fractional scale
// protocol asks.
int toPixels(int logical, int scale120);

// Where the picture's surface goes and what of it shows.
struct PicturePlace {
    bool visible = false;
    int x = 0, y = 0;   // in the screen's logical units
    // Through the viewport: cut to the part inside the area (source, in the
    // surface's own units; width < 0: all of it), and sized to `width` x
    // `height` logical units. Without it the surface shows whole, at the
    // buffer's own scale.
    bool viewport = false;
    double sourceX = 0, sourceY = 0, sourceWidth = -1, sourceHeight = -1;
    int width = 0, height = 0;
};

// `rect` is where the show has the picture, `area` the screen (at 0, 0),
// both in pixels. `bufferScale` is the integer scale the picture's buffer is given
// (its size padded to a multiple of it), or 1 at a fractional scale, which
// the viewport then makes.
PicturePlace placePicture(const PictureRect& rect, const PictureRect& area, int scale120, int bufferScale);

// A size padded to a multiple of the buffer scale, as a surface's buffer must be.
int padded(int pixels, int bufferScale);

} // namespace wayland
