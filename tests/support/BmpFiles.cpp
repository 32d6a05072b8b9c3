#include "BmpFiles.h"

#include <QVector>
#include <bit>
#include <stdexcept>

namespace {

void put16(QByteArray& b, unsigned v) { b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); }
void put32(QByteArray& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

// A channel value 0..255 in a mask of any width, rounded.
std::uint32_t packChannel(int value, std::uint32_t mask)
{
    if (!mask)
        return 0;
    const int shift = std::countr_zero(mask);
    const std::uint64_t max = std::uint64_t(mask) >> shift;
    return std::uint32_t((std::uint64_t(value) * max + 127) / 255) << shift;
}

// One row of palette indices as RLE8 or RLE4 runs, ended by end-of-line.
void encodeRleRow(QByteArray& out, const QVector<int>& idx, bool four)
{
    int x = 0;
    const int w = int(idx.size());
    while (x < w) {
        int n = 1;
        while (x + n < w && n < 255 && idx[x + n] == idx[x])
            ++n;
        out.append(char(n));
        out.append(char(four ? (idx[x] << 4) | idx[x] : idx[x]));
        x += n;
    }
    out.append('\0').append('\0');
}

} // namespace

QByteArray EncodeBmp(const QImage& source, const BmpOptions& o)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    QVector<QRgb> palette;
    if (o.bits <= 8) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (!palette.contains(image.pixel(x, y)))
                    palette << image.pixel(x, y);
        if (palette.size() > (1 << o.bits))
            throw std::invalid_argument("too many colours for the palette");
    }
    const bool core = o.header == BmpOptions::Core;
    const int entries = o.bits > 8 ? 0 : o.paletteSize > 0 ? o.paletteSize : core ? 1 << o.bits : int(palette.size());
    auto index = [&](int x, int y) { return int(palette.indexOf(image.pixel(x, y))); };

    QByteArray pixels;
    const bool rle = o.compression == BmpOptions::Rle4 || o.compression == BmpOptions::Rle8;
    for (int i = 0; i < h; ++i) {
        const int y = o.topDown ? i : h - 1 - i;
        if (rle) {
            QVector<int> row;
            for (int x = 0; x < w; ++x)
                row << index(x, y);
            encodeRleRow(pixels, row, o.compression == BmpOptions::Rle4);
            continue;
        }
        QByteArray row;
        if (o.bits <= 8) {
            std::uint32_t acc = 0;
            int filled = 0;
            for (int x = 0; x < w; ++x) {
                acc = (acc << o.bits) | std::uint32_t(index(x, y));
                filled += o.bits;
                if (filled == 8) {
                    row.append(char(acc));
                    acc = 0;
                    filled = 0;
                }
            }
            if (filled)
                row.append(char(acc << (8 - filled)));
        } else {
            for (int x = 0; x < w; ++x) {
                const QRgb c = image.pixel(x, y);
                if (o.bits == 24) {
                    row.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
                    continue;
                }
                std::array<std::uint32_t, 3> m = o.masks;
                if (o.compression != BmpOptions::BitFields)
                    m = o.bits == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                                     : std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
                const std::uint32_t v = packChannel(qRed(c), m[0]) | packChannel(qGreen(c), m[1]) | packChannel(qBlue(c), m[2]);
                if (o.bits == 16)
                    put16(row, v);
                else
                    put32(row, v);
            }
        }
        while (row.size() % 4)
            row.append('\0');
        pixels += row;
    }
    if (rle)
        pixels.append('\0').append('\1');

    const int headerSize = core ? 12 : o.header == BmpOptions::Info ? 40 : o.header == BmpOptions::V4 ? 108 : 124;
    const bool separateMasks = o.header == BmpOptions::Info && o.compression == BmpOptions::BitFields;
    const int paletteBytes = entries * (core ? 3 : 4);
    const int offset = 14 + headerSize + (separateMasks ? 12 : 0) + paletteBytes;

    QByteArray file("BM");
    put32(file, std::uint32_t(offset + pixels.size()));
    put32(file, 0);
    put32(file, std::uint32_t(offset));
    put32(file, std::uint32_t(headerSize));
    if (core) {
        put16(file, unsigned(w));
        put16(file, unsigned(h));
        put16(file, 1);
        put16(file, unsigned(o.bits));
    } else {
        put32(file, std::uint32_t(w));
        put32(file, std::uint32_t(o.topDown ? -h : h));
        put16(file, 1);
        put16(file, unsigned(o.bits));
        const std::uint32_t compression = o.compression == BmpOptions::Rle8 ? 1 : o.compression == BmpOptions::Rle4 ? 2
                                        : o.compression == BmpOptions::BitFields ? 3 : 0;
        put32(file, compression);
        put32(file, std::uint32_t(pixels.size()));
        put32(file, 2835);
        put32(file, 2835);
        put32(file, std::uint32_t(entries));
        put32(file, 0);
        if (o.header != BmpOptions::Info) {
            for (std::uint32_t m : o.masks)
                put32(file, m);
            put32(file, 0);                        // alpha mask
            put32(file, 0x73524742);               // 'sRGB'
            file.append(QByteArray(36 + 12, '\0'));   // endpoints, gamma
            if (o.header == BmpOptions::V5)
                file.append(QByteArray(16, '\0'));    // intent, profile
        }
    }
    if (separateMasks)
        for (std::uint32_t m : o.masks)
            put32(file, m);
    for (int i = 0; i < entries; ++i) {
        const QRgb c = palette.value(i, qRgb(0, 0, 0));
        file.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        if (!core)
            file.append('\0');
    }
    return file + pixels;
}

QImage BandedPicture(int width, int height, int colours)
{
    static const QRgb inks[] = {qRgb(255, 255, 255), qRgb(0, 0, 0),     qRgb(200, 30, 40),  qRgb(20, 160, 60),
                                qRgb(30, 60, 220),   qRgb(250, 200, 0), qRgb(120, 0, 160),  qRgb(0, 180, 200),
                                qRgb(90, 90, 90),    qRgb(255, 128, 64), qRgb(64, 32, 16),  qRgb(170, 220, 120),
                                qRgb(10, 20, 90),    qRgb(240, 160, 200), qRgb(100, 140, 0), qRgb(60, 0, 0)};
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int k = (x / 5 + y / 7) % colours;
            if (x == y)
                k = colours - 1;
            image.setPixel(x, y, inks[k % 16]);
        }
    return image;
}
