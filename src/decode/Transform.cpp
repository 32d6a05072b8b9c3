#include "decode/Transform.h"

#include <algorithm>
#include <cstring>
#include <utility>

int halvingsToFit(int width, int height, int areaWidth, int areaHeight, FitRule rule)
{
    auto larger = [&](int k) { return (width >> k) > areaWidth || (height >> k) > areaHeight; };
    int k = 0;
    // The view's "at least as large" decides the first halving only: after
    // it, a picture of exactly the screen's size fits, as it does in the show.
    if (rule == FitRule::AtLeastAsLarge) {
        if (width < areaWidth && height < areaHeight)
            return 0;
        k = 1;
    }
    // An empty area would ask for ever; nothing is left to halve once the
    // picture is gone on both axes.
    while (k < 31 && ((width >> k) > 0 || (height >> k) > 0) && larger(k))
        ++k;
    return k;
}

RowShrinker::RowShrinker(PixelBuffer& out, int width, int height, int halvings)
    : out_(out), width_(width), height_(height), halvings_(halvings)
{
    if (halvings_ > 0) {
        row_.resize(std::size_t(width_));
        sums_.assign(std::size_t(out_.width()) * 3, 0);
    }
}

std::uint64_t RowShrinker::workBytes(int width, int halvings)
{
    if (halvings == 0)
        return 0;
    return std::uint64_t(width) * 4 + std::uint64_t(scaledLength(width, halvings)) * 3 * 8;
}

std::uint32_t* RowShrinker::rowFor(int y)
{
    return halvings_ == 0 ? out_.row(y) : row_.data();
}

void RowShrinker::commit(int y)
{
    if (halvings_ == 0)
        return;
    const int block = y >> halvings_;
    if (block != block_) {
        flush();
        block_ = block;
    }
    std::uint64_t* s = sums_.data();
    const std::uint32_t* p = row_.data();
    for (int x = 0; x < width_; ++x) {
        const std::uint32_t c = p[x];
        std::uint64_t* t = s + std::size_t(x >> halvings_) * 3;
        t[0] += (c >> 16) & 0xFF;
        t[1] += (c >> 8) & 0xFF;
        t[2] += c & 0xFF;
    }
    ++rowsSummed_;
}

void RowShrinker::flush()
{
    if (block_ < 0 || rowsSummed_ == 0)
        return;
    const int unit = 1 << halvings_;
    std::uint32_t* o = out_.row(block_);
    std::uint64_t* s = sums_.data();
    for (int x = 0; x < out_.width(); ++x, s += 3) {
        const std::uint64_t columns = std::uint64_t(std::min(unit, width_ - x * unit));
        const std::uint64_t n = columns * std::uint64_t(rowsSummed_);
        const std::uint32_t r = std::uint32_t((s[0] + n / 2) / n), g = std::uint32_t((s[1] + n / 2) / n),
                            b = std::uint32_t((s[2] + n / 2) / n);
        o[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        s[0] = s[1] = s[2] = 0;
    }
    rowsSummed_ = 0;
}

void RowShrinker::finish()
{
    flush();
    block_ = -1;
}

namespace {

void mirrorRows(PixelBuffer& p, const DecodeControl& control)
{
    for (int y = 0; y < p.height(); ++y) {
        control.checkCancelled();
        std::reverse(p.row(y), p.row(y) + p.width());
    }
}

void flipVertically(PixelBuffer& p, const DecodeControl& control)
{
    for (int top = 0, bottom = p.height() - 1; top < bottom; ++top, --bottom) {
        control.checkCancelled();
        std::swap_ranges(p.row(top), p.row(top) + p.width(), p.row(bottom));
    }
}

} // namespace

PixelBuffer orientUpright(PixelBuffer picture, int orientation, const DecodeControl& control)
{
    switch (orientation) {
    case 2:
        mirrorRows(picture, control);
        return picture;
    case 3:
        mirrorRows(picture, control);
        flipVertically(picture, control);
        return picture;
    case 4:
        flipVertically(picture, control);
        return picture;
    case 5:
    case 6:
    case 7:
    case 8:
        break;
    default:
        return picture;
    }
    // A quarter turn: upright row Y is a column of the stored picture, walked
    // down (5, 8) or up (6, 7) from the column that the orientation names.
    const int w = picture.width(), h = picture.height();
    PixelBuffer out = PixelBuffer::allocate(h, w);
    const std::uint32_t* in = picture.row(0);
    const std::ptrdiff_t last = std::ptrdiff_t(h - 1) * w;
    for (int Y = 0; Y < w; ++Y) {
        control.checkCancelled();
        const int column = orientation == 5 || orientation == 6 ? Y : w - 1 - Y;
        const bool upwards = orientation == 6 || orientation == 7;
        const std::ptrdiff_t start = (upwards ? last : 0) + column;
        const std::ptrdiff_t step = upwards ? -std::ptrdiff_t(w) : std::ptrdiff_t(w);
        std::uint32_t* o = out.row(Y);
        for (int X = 0; X < h; ++X)
            o[X] = in[start + std::ptrdiff_t(X) * step];
    }
    return out;
}
