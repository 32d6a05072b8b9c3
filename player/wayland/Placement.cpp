#include "wayland/Placement.h"

#include "common/Geometry.h"

#include <algorithm>
#include <cstdint>

namespace wayland {

int toPixels(int logical, int scale120) { return int((std::int64_t(logical) * scale120 + wholeScale / 2) / wholeScale); }

int padded(int pixels, int bufferScale) { return (pixels + bufferScale - 1) / bufferScale * bufferScale; }

PicturePlace placePicture(const PictureRect& rect, const PictureRect& area, int scale120, int bufferScale)
{
    PicturePlace p;
    if (scale120 == bufferScale * wholeScale) {
        // A whole scale: the buffer's own scale makes it, and a cut falls on
        // whole logical units, so that no pixel is stretched; an edge trimmed
        // of at most scale - 1 pixels shows the background. A place between
        // two units takes the lower, cut or not.
        const int s = bufferScale;
        const auto units = [s](int pixels) { return pixels >= 0 ? pixels / s : -((s - 1 - pixels) / s); };
        const int left = units(rect.left), top = units(rect.top);
        const int width = padded(rect.width, s) / s, height = padded(rect.height, s) / s;
        const int fromX = std::max(0, -left), fromY = std::max(0, -top);
        const int toX = std::min(width, area.width / s - left), toY = std::min(height, area.height / s - top);
        if (fromX >= toX || fromY >= toY)
            return p;
        p.visible = true;
        p.x = left + fromX;
        p.y = top + fromY;
        p.viewport = fromX > 0 || fromY > 0 || toX < width || toY < height;
        if (p.viewport) {
            p.sourceX = fromX;
            p.sourceY = fromY;
            p.sourceWidth = p.width = toX - fromX;
            p.sourceHeight = p.height = toY - fromY;
        }
        return p;
    }
    // A fractional scale: the viewport makes it, rounding as it must.
    const PictureRect shown = player::intersect(rect, area);
    if (player::isEmpty(shown))
        return p;
    p.visible = true;
    // The area starts at 0, 0: what is shown of the picture never lies left of it or above.
    p.x = int(std::int64_t(shown.left) * wholeScale / scale120);
    p.y = int(std::int64_t(shown.top) * wholeScale / scale120);
    p.viewport = true;
    if (!(shown == rect)) {
        p.sourceX = shown.left - rect.left;
        p.sourceY = shown.top - rect.top;
        p.sourceWidth = shown.width;
        p.sourceHeight = shown.height;
    }
    p.width = std::max(1, int((std::int64_t(shown.width) * wholeScale + scale120 / 2) / scale120));
    p.height = std::max(1, int((std::int64_t(shown.height) * wholeScale + scale120 / 2) / scale120));
    return p;
}

} // namespace wayland
