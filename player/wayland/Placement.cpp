#include "wayland/Placement.h"

#include "x11/Geometry.h"

#include <algorithm>
#include <cstdint>

namespace wayland {

int toPixels(int logical, int scale120) { return int((std::int64_t(logical) * scale120 + wholeScale / 2) / wholeScale); }

int padded(int pixels, int bufferScale) { return (pixels + bufferScale - 1) / bufferScale * bufferScale; }

PicturePlace placePicture(const PictureRect& rect, const PictureRect& area, int scale120, int bufferScale)
{
    PicturePlace p;
    const PictureRect shown = x11::intersect(rect, area);
    if (x11::isEmpty(shown))
        return p;
    p.visible = true;
    // The area starts at 0, 0: what is shown of the picture never lies left of it or above.
    p.x = int(std::int64_t(shown.left) * wholeScale / scale120);
    p.y = int(std::int64_t(shown.top) * wholeScale / scale120);
    const bool cut = !(shown == rect);
    // An integer scale needs no viewport: the buffer's own scale makes it.
    p.viewport = cut || scale120 != bufferScale * wholeScale;
    if (!p.viewport)
        return p;
    if (cut) {
        p.sourceX = double(shown.left - rect.left) / bufferScale;
        p.sourceY = double(shown.top - rect.top) / bufferScale;
        p.sourceWidth = double(shown.width) / bufferScale;
        p.sourceHeight = double(shown.height) / bufferScale;
    }
    p.width = std::max(1, int((std::int64_t(shown.width) * wholeScale + scale120 / 2) / scale120));
    p.height = std::max(1, int((std::int64_t(shown.height) * wholeScale + scale120 / 2) / scale120));
    return p;
}

} // namespace wayland
