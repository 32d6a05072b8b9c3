#include "common/Geometry.h"

#include <algorithm>

namespace player {

PictureRect intersect(const PictureRect& a, const PictureRect& b)
{
    const int left = std::max(a.left, b.left), top = std::max(a.top, b.top);
    const int right = std::min(a.right(), b.right()), bottom = std::min(a.bottom(), b.bottom());
    if (right <= left || bottom <= top)
        return {left, top, 0, 0};
    return {left, top, right - left, bottom - top};
}

PictureRect showAreaIn(const PictureRect& window, const std::vector<Monitor>& monitors)
{
    const Monitor* chosen = nullptr;
    for (const Monitor& m : monitors) {
        if (isEmpty(m.rect) || !(intersect(m.rect, window) == m.rect))
            continue;
        if (!chosen || (m.primary && !chosen->primary))
            chosen = &m;
    }
    // One monitor that is the whole window is the whole window.
    if (!chosen)
        return {0, 0, window.width, window.height};
    return {chosen->rect.left - window.left, chosen->rect.top - window.top, chosen->rect.width, chosen->rect.height};
}

std::vector<PictureRect> showAreasIn(const PictureRect& window, const std::vector<Monitor>& monitors, ScreenPolicy policy)
{
    if (policy == ScreenPolicy::One)
        return {showAreaIn(window, monitors)};
    std::vector<PictureRect> areas;
    for (const Monitor& m : monitors) {
        const PictureRect r = intersect(m.rect, window);
        const PictureRect inWindow{r.left - window.left, r.top - window.top, r.width, r.height};
        if (!isEmpty(r) && std::find(areas.begin(), areas.end(), inWindow) == areas.end())
            areas.push_back(inWindow);
    }
    if (areas.empty())
        areas.push_back({0, 0, window.width, window.height});
    return areas;
}

std::vector<PictureRect> subtract(const PictureRect& a, const PictureRect& b)
{
    if (isEmpty(a))
        return {};
    const PictureRect c = intersect(a, b);
    if (isEmpty(c))
        return {a};
    std::vector<PictureRect> out;
    // Bands above and below the covered part, then its left and right.
    if (c.top > a.top)
        out.push_back({a.left, a.top, a.width, c.top - a.top});
    if (c.bottom() < a.bottom())
        out.push_back({a.left, c.bottom(), a.width, a.bottom() - c.bottom()});
    if (c.left > a.left)
        out.push_back({a.left, c.top, c.left - a.left, c.height});
    if (c.right() < a.right())
        out.push_back({c.right(), c.top, a.right() - c.right(), c.height});
    return out;
}

namespace {
std::uint32_t place(std::uint32_t mask, int value)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const std::uint32_t top = mask >> shift;   // 2^bits - 1
    const std::uint64_t scaled = (std::uint64_t(std::clamp(value, 0, 255)) * top + 127) / 255;
    return std::uint32_t(scaled << shift) & mask;
}
} // namespace

std::uint32_t pixelOf(const PixelLayout& layout, int red, int green, int blue)
{
    return place(layout.redMask, red) | place(layout.greenMask, green) | place(layout.blueMask, blue) | layout.alphaMask;
}

std::uint32_t pixelOfColorRef(const PixelLayout& layout, std::uint32_t colorRef)
{
    return pixelOf(layout, int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

std::vector<std::uint32_t> stretchTo(const PixelBuffer& pixels, int width, int height)
{
    std::vector<std::uint32_t> out;
    if (pixels.empty() || width <= 0 || height <= 0)
        return out;
    out.resize(std::size_t(width) * std::size_t(height));
    // Each pixel from the middle of its place: a column or row too many is
    // dropped in the middle, not at one edge.
    std::vector<int> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        columns[std::size_t(x)] = int((2 * std::int64_t(x) + 1) * pixels.width() / (2 * std::int64_t(width)));
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* from = pixels.row(int((2 * std::int64_t(y) + 1) * pixels.height() / (2 * std::int64_t(height))));
        std::uint32_t* to = out.data() + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x)
            to[x] = from[columns[std::size_t(x)]];
    }
    return out;
}

} // namespace player
