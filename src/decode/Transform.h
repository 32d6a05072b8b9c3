#pragma once
// Sizes and shapes of a shown picture: how often it is halved to fit an
// area, a shrink by powers of two while rows arrive, and the eight EXIF
// orientations.
#include "decode/DecodeControl.h"
#include "decode/PixelBuffer.h"

#include <cstdint>
#include <vector>

// The show's test is "larger than" (a picture of exactly the screen's size
// is not reduced); the single-image view halves a picture "at least as
// large as" the screen once, and after that only while it is larger.
enum class FitRule { LargerThan, AtLeastAsLarge };

// How many times width x height is halved (integer halves, width div 2^k)
// by the area's rule: 0 for a picture that fits.
int halvingsToFit(int width, int height, int areaWidth, int areaHeight, FitRule rule);

// Pixels along one axis of a picture decoded at 1/2^halvings: rounded up, as
// libjpeg's scaled output is, so that no edge pixel is lost. (The shown size
// is rounded down; the decoded picture is drawn into it.)
inline int scaledLength(int length, int halvings)
{
    const std::int64_t unit = std::int64_t(1) << halvings;
    return int((std::int64_t(length) + unit - 1) / unit);
}

// Takes a picture's rows at full size, one at a time, top-down or bottom-up,
// and writes them into `out` reduced by 2^halvings on both axes: each pixel
// the rounded mean of its block (blocks cut by the right or bottom edge
// average what they hold). With no halving, rows go straight into `out`.
class RowShrinker {
public:
    // `out` is scaledLength(width, halvings) x scaledLength(height, halvings).
    RowShrinker(PixelBuffer& out, int width, int height, int halvings);
    // Where row y is to be written (width pixels).
    std::uint32_t* rowFor(int y);
    // Row y is complete.
    void commit(int y);
    // Writes the last block row. Call once every row has been committed.
    void finish();
    // Extra memory the shrinker holds for a picture of this width.
    static std::uint64_t workBytes(int width, int halvings);

private:
    void flush();

    PixelBuffer& out_;
    int width_;
    int height_;
    int halvings_;
    std::vector<std::uint32_t> row_;
    std::vector<std::uint64_t> sums_;   // red, green, blue per output column
    int block_ = -1;                    // output row being summed
    int rowsSummed_ = 0;
};

// Turns a picture stored with an EXIF orientation (1..8) upright. Flips are
// done in place; the quarter turns (5..8) need a second buffer. Checks for
// cancellation row by row.
PixelBuffer orientUpright(PixelBuffer picture, int orientation, const DecodeControl& control);
