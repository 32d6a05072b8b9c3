#pragma once
// The plain arithmetic the players share, apart from any windowing system so
// that it can be tested on its own: where in its window the show runs, what
// is left of a rectangle when another covers part of it, colours in a pixel
// layout (an X visual's, Wayland's XRGB), and a picture stretched into the
// size it is shown at.
#include "decode/PixelBuffer.h"
#include "engine/ShowEngine.h"

#include <cstdint>
#include <vector>

namespace player {

struct Monitor {
    PictureRect rect;   // root coordinates
    bool primary = false;
};

// How many shows a window holds: the one policy of every player.
enum class ScreenPolicy {
    // One show. In a window that a host gives (XScreenSaver's, xsecurelock's,
    // the desktop, a settings program's preview) or an ordinary window, the
    // host decides how many windows and so how many shows there are.
    One,
    // A show on each monitor, each over its own area with its own places:
    // the player's own full-screen window.
    EveryMonitor,
};

// Where the show runs inside a window that stands at `window` (root
// coordinates), in the window's own coordinates. A window that covers whole
// monitors (the desktop over two screens) shows on the primary one among
// them, else on the first of them, so that no picture is cut by the seam
// between two screens; any other window (the preview, a window of its own,
// XScreenSaver's window on one monitor) shows over all of itself.
PictureRect showAreaIn(const PictureRect& window, const std::vector<Monitor>& monitors);

// The areas of the shows in that window as `policy` has them: showAreaIn's
// one, or the part of the window on each monitor (a monitor that mirrors
// another has no show of its own), the window's own order of monitors kept.
// Never empty: without monitors known, the whole window.
std::vector<PictureRect> showAreasIn(const PictureRect& window, const std::vector<Monitor>& monitors, ScreenPolicy policy);

// `a` without the part that `b` covers: at most four rectangles, none empty.
std::vector<PictureRect> subtract(const PictureRect& a, const PictureRect& b);
PictureRect intersect(const PictureRect& a, const PictureRect& b);
inline bool isEmpty(const PictureRect& r) { return r.width <= 0 || r.height <= 0; }

// How a TrueColor visual packs red, green and blue into a pixel.
struct PixelLayout {
    std::uint32_t redMask = 0xFF0000;
    std::uint32_t greenMask = 0x00FF00;
    std::uint32_t blueMask = 0x0000FF;
    // The bits of the depth that no colour takes: a 32-bit window's alpha.
    // Set in every pixel, so that the picture and background are opaque.
    std::uint32_t alphaMask = 0;
    // The decoders' 0xFFRRGGBB is this layout's pixel as it stands.
    bool isRgb32() const { return redMask == 0xFF0000 && greenMask == 0x00FF00 && blueMask == 0x0000FF; }
};

// A channel of 0..255 placed in a mask of any width, rounded to the nearest;
// the alpha bits set.
std::uint32_t pixelOf(const PixelLayout& layout, int red, int green, int blue);
// A settings colour, 0x00BBGGRR (red in the lowest byte).
std::uint32_t pixelOfColorRef(const PixelLayout& layout, std::uint32_t colorRef);

// The picture's pixels drawn into width x height (nearest pixel): a scaled
// JPEG may be decoded one pixel larger than the size it is shown at.
std::vector<std::uint32_t> stretchTo(const PixelBuffer& pixels, int width, int height);

} // namespace player
