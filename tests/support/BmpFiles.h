#pragma once
// Windows bitmap files for the tests, written field by field here rather than
// through the program, so that the reader is checked against an independent
// writer: every header kind, depth and compression a bitmap file can have.
#include <QByteArray>
#include <QImage>
#include <array>
#include <cstdint>

struct BmpOptions {
    enum Header { Core, Info, V4, V5 } header = Info;   // OS/2 1.x, BITMAPINFOHEADER, V4, V5
    int bits = 24;                                      // 1, 2, 4, 8, 16, 24 or 32
    enum Compression { Rgb, Rle4, Rle8, BitFields } compression = Rgb;
    std::array<std::uint32_t, 3> masks{};               // red, green, blue; BitFields only
    bool topDown = false;
    // Palette entries written: 0 for the colours used (an OS/2 1.x header has
    // no count, so there 0 means all 2^bits entries).
    int paletteSize = 0;
};

// Writes `image` (its colours must fit the palette for 1 to 8 bits: the
// palette is the image's distinct colours in order of first appearance).
QByteArray EncodeBmp(const QImage& image, const BmpOptions& options = {});

// A picture with a few distinct colours in bands and a diagonal, asymmetric
// enough that a flipped, shifted or mirrored result is told apart.
QImage BandedPicture(int width, int height, int colours);
