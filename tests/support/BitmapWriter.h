#pragma once
// Windows and OS/2 bitmap files of every kind the reader knows, written here
// field by field from stored values (palette indices or packed pixels), so
// that a test can say exactly which pixels the file holds.
#include <QByteArray>
#include <QRgb>
#include <QVector>
#include <cstdint>
#include <functional>

struct BitmapSpec {
    // The header's length: 12 (OS/2 1.x), 16 to 64 (OS/2 2.x), 40, 52, 56,
    // 108 or 124 (Windows).
    int headerSize = 40;
    int bits = 24;
    std::uint32_t compression = 0;            // 0 rgb, 1 rle8, 2 rle4, 3 bit fields, 6 with alpha
    std::uint32_t masks[4] = {0, 0, 0, 0};    // red, green, blue, alpha
    int colorsUsed = 0;                       // written in the header (0: all 2^bits)
    bool topDown = false;
    int gap = 0;                              // bytes between palette and pixels
};

// Stored value of pixel (x, y), y counted from the top: a palette index, or
// the packed value of a 16, 24 or 32-bit pixel.
using StoredPixel = std::function<std::uint32_t(int x, int y)>;

// A whole file; the palette (blue, green, red entries; 3 bytes each for OS/2
// 1.x) is written as given, its pixel offset pointing right behind it plus
// `gap`.
QByteArray WriteBitmap(const BitmapSpec& spec, int width, int height, const StoredPixel& pixel,
                       const QVector<QRgb>& palette = {});

// A run-length coded file (spec.compression 1 or 2) with `data` as its pixel
// data, written as given.
QByteArray WriteRunLengthBitmap(const BitmapSpec& spec, int width, int height, const QByteArray& data,
                                const QVector<QRgb>& palette);

// A picture of any size in a few bytes: run-length data that ends at once,
// so every pixel takes palette entry 0, `colour`.
QByteArray BlankBitmap(int width, int height, QRgb colour);
