#include "BitmapWriter.h"

#include <QColor>

namespace {

void put16(QByteArray& b, std::uint32_t v)
{
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

void put32(QByteArray& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// Everything before the pixels: file header, info header, masks, palette.
QByteArray head(const BitmapSpec& s, int width, int height, const QVector<QRgb>& palette, std::uint32_t pixelBytes)
{
    QByteArray info;
    if (s.headerSize == 12) {
        put32(info, 12);
        put16(info, std::uint32_t(width));
        put16(info, std::uint32_t(height));
        put16(info, 1);
        put16(info, std::uint32_t(s.bits));
    } else {
        put32(info, std::uint32_t(s.headerSize));
        put32(info, std::uint32_t(width));
        put32(info, std::uint32_t(s.topDown ? -height : height));
        put16(info, 1);
        put16(info, std::uint32_t(s.bits));
        put32(info, s.compression);
        put32(info, pixelBytes);
        put32(info, 2835);
        put32(info, 2835);
        put32(info, std::uint32_t(s.colorsUsed));
        put32(info, 0);
        if (s.headerSize >= 52)
            for (int i = 0; i < (s.headerSize >= 56 ? 4 : 3); ++i)
                put32(info, s.masks[i]);
        info = info.left(s.headerSize);   // OS/2 2.x headers end where they will
        info.append(QByteArray(s.headerSize - info.size(), '\0'));
    }
    QByteArray extra;
    if (s.headerSize == 40 && (s.compression == 3 || s.compression == 6))
        for (int i = 0; i < (s.compression == 3 ? 3 : 4); ++i)
            put32(extra, s.masks[i]);
    for (QRgb c : palette) {
        extra.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        if (s.headerSize != 12)
            extra.append('\0');
    }
    extra.append(QByteArray(s.gap, '\x77'));
    const std::uint32_t offset = std::uint32_t(14 + info.size() + extra.size());
    QByteArray file("BM");
    put32(file, offset + pixelBytes);
    put32(file, 0);
    put32(file, offset);
    return file + info + extra;
}

} // namespace

QByteArray WriteBitmap(const BitmapSpec& s, int width, int height, const StoredPixel& pixel, const QVector<QRgb>& palette)
{
    const int stride = (width * s.bits + 31) / 32 * 4;
    QByteArray pixels;
    for (int i = 0; i < height; ++i) {
        const int y = s.topDown ? i : height - 1 - i;
        QByteArray row(stride, '\0');
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = pixel(x, y);
            if (s.bits < 8) {
                const int per = 8 / s.bits;
                row[x / per] = char(uchar(row[x / per]) | (v << (8 - s.bits * (x % per + 1))));
            } else {
                for (int b = 0; b < s.bits / 8; ++b)
                    row[x * (s.bits / 8) + b] = char((v >> (8 * b)) & 0xFF);
            }
        }
        pixels += row;
    }
    return head(s, width, height, palette, std::uint32_t(pixels.size())) + pixels;
}

QByteArray WriteRunLengthBitmap(const BitmapSpec& s, int width, int height, const QByteArray& data,
                                const QVector<QRgb>& palette)
{
    return head(s, width, height, palette, std::uint32_t(data.size())) + data;
}

QByteArray BlankBitmap(int width, int height, QRgb colour)
{
    BitmapSpec s;
    s.bits = 8;
    s.compression = 1;
    s.colorsUsed = 1;
    return WriteRunLengthBitmap(s, width, height, QByteArray("\x00\x01", 2), {colour});
}
