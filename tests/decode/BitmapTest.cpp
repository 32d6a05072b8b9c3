// Our own bitmap reader, without Qt: every kind of file it reads, made by our
// writer from stored values, compared with the pixels those values mean;
// what it refuses; and how it shrinks while it reads.
#include "BitmapWriter.h"
#include "Pixels.h"
#include "decode/Bitmap.h"
#include "decode/DecodeError.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// The decoded picture as a QImage (a copy), for easy comparison.
QImage Decode(const QByteArray& file, int halvings = 0)
{
    MemorySource source(file.constData(), std::size_t(file.size()));
    return ToImage(decodeBitmap(source, halvings, DecodeControl()));
}

std::string Refusal(const QByteArray& file)
{
    MemorySource source(file.constData(), std::size_t(file.size()));
    try {
        decodeBitmap(source, 0, DecodeControl());
    } catch (const DecodeError& e) {
        return e.what();
    }
    return "loaded";
}

QVector<QRgb> Colours(int n)
{
    QVector<QRgb> p;
    for (int i = 0; i < n; ++i)
        p << qRgb((i * 53) % 256, (i * 101 + 7) % 256, 255 - (i * 29) % 256);
    return p;
}

// What a file means, computed here independently of the reader.
QImage Expected(int w, int h, const std::function<QRgb(int, int)>& colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, colour(x, y));
    return image;
}

// A stored channel value of `bits` bits as 0..255, rounded.
int Widen(std::uint32_t v, int bits) { return int(std::lround(double(v) * 255.0 / double((1ull << bits) - 1))); }

int Width(std::uint32_t mask)
{
    int n = 0;
    for (; mask; mask >>= 1)
        n += int(mask & 1);
    return n;
}

int Shift(std::uint32_t mask)
{
    int s = 0;
    while (mask && !((mask >> s) & 1))
        ++s;
    return s;
}

// Every channel runs through its whole range across the picture.
std::uint32_t Packed(const std::uint32_t (&m)[4], int x, int y, int w, int h)
{
    std::uint32_t v = 0;
    for (int c = 0; c < 4; ++c) {
        if (!m[c])
            continue;
        const std::uint64_t most = (1ull << Width(m[c])) - 1;
        const std::uint64_t t = c == 0 ? std::uint64_t(x) * most / std::uint64_t(w - 1)
                              : c == 1 ? std::uint64_t(y) * most / std::uint64_t(h - 1)
                              : c == 2 ? std::uint64_t(w - 1 - x) * most / std::uint64_t(w - 1)
                                       : std::uint64_t(x + y) % (most + 1);
        v |= std::uint32_t(t << Shift(m[c]));
    }
    return v;
}

QRgb Unpacked(const std::uint32_t (&m)[4], std::uint32_t v)
{
    int ch[3];
    for (int c = 0; c < 3; ++c)
        ch[c] = m[c] ? Widen((v & m[c]) >> Shift(m[c]), Width(m[c])) : 0;
    return qRgb(ch[0], ch[1], ch[2]);
}

} // namespace

TEST(BitmapReader, PalettedRowsOfEveryDepthBothWaysUp)
{
    for (int bits : {1, 2, 4, 8})
        for (bool topDown : {false, true})
            for (int w : {1, 7, 13, 33}) {
                SCOPED_TRACE(testing::Message() << bits << " bits, width " << w << (topDown ? ", top-down" : ""));
                BitmapSpec s;
                s.bits = bits;
                s.topDown = topDown;
                const int h = 5, n = 1 << bits;
                const QVector<QRgb> palette = Colours(n);
                auto index = [&](int x, int y) { return std::uint32_t((x * 3 + y * 5) % n); };
                EXPECT_EQ(Decode(WriteBitmap(s, w, h, index, palette)),
                          Expected(w, h, [&](int x, int y) { return palette[int(index(x, y))]; }));
            }
}

TEST(BitmapReader, AShortPaletteDrawsIndexesPastItBlack)
{
    BitmapSpec s;
    s.bits = 8;
    s.colorsUsed = 5;
    const QVector<QRgb> palette = Colours(5);
    auto index = [](int x, int) { return std::uint32_t(x); };   // 0..9
    EXPECT_EQ(Decode(WriteBitmap(s, 10, 2, index, palette)),
              Expected(10, 2, [&](int x, int) { return x < 5 ? palette[x] : qRgb(0, 0, 0); }));
}

TEST(BitmapReader, AnOs2PaletteEndsWhereThePixelsBegin)
{
    // OS/2 1.x has no colour count: the offset of the pixels tells how many
    // three-byte entries there are. 12 of 256 here, and no pixel moves.
    BitmapSpec s;
    s.headerSize = 12;
    s.bits = 8;
    const QVector<QRgb> palette = Colours(12);
    auto index = [](int x, int y) { return std::uint32_t((x + y) % 14); };
    EXPECT_EQ(Decode(WriteBitmap(s, 9, 3, index, palette)),
              Expected(9, 3, [&](int x, int y) { const int i = (x + y) % 14; return i < 12 ? palette[i] : qRgb(0, 0, 0); }));
}

TEST(BitmapReader, ThePixelOffsetIsHonouredAndAZeroOneMeansBehindThePalette)
{
    BitmapSpec s;
    s.bits = 4;
    s.gap = 37;
    const QVector<QRgb> palette = Colours(16);
    auto index = [](int x, int y) { return std::uint32_t((x ^ y) & 15); };
    const QImage expected = Expected(6, 4, [&](int x, int y) { return palette[(x ^ y) & 15]; });
    EXPECT_EQ(Decode(WriteBitmap(s, 6, 4, index, palette)), expected);
    s.gap = 0;
    QByteArray zero = WriteBitmap(s, 6, 4, index, palette);
    zero[10] = zero[11] = zero[12] = zero[13] = 0;
    EXPECT_EQ(Decode(zero), expected);
}

TEST(BitmapReader, EveryHeaderLengthGivesTheSamePicture)
{
    const QVector<QRgb> palette = Colours(256);
    auto index = [](int x, int y) { return std::uint32_t((x * 7 + y * 11) & 255); };
    const QImage expected = Expected(11, 6, [&](int x, int y) { return palette[(x * 7 + y * 11) & 255]; });
    for (int header : {12, 16, 20, 36, 40, 52, 56, 64, 108, 124}) {
        SCOPED_TRACE(header);
        BitmapSpec s;
        s.headerSize = header;
        s.bits = 8;
        EXPECT_EQ(Decode(WriteBitmap(s, 11, 6, index, palette)), expected);
    }
}

TEST(BitmapReader, BitFieldsOfAnyWidthAreScaledExactly)
{
    const struct {
        int bits;
        std::uint32_t compression;
        int header;
        std::uint32_t masks[4];
    } cases[] = {
        {16, 0, 40, {0x7C00, 0x03E0, 0x001F, 0}},              // the 16-bit default: white is 255, not 248
        {16, 3, 40, {0xF800, 0x07E0, 0x001F, 0}},              // 5-6-5
        {16, 3, 56, {0xE000, 0x1FF8, 0x0007, 0}},              // 3-10-3: green is all there
        {16, 3, 124, {0x0F00, 0x00F0, 0x000F, 0xF000}},        // 4-4-4 and alpha
        {16, 6, 40, {0x7C00, 0x03E0, 0x001F, 0x8000}},         // alpha bit fields
        {24, 0, 40, {0xFF0000, 0x00FF00, 0x0000FF, 0}},
        {24, 3, 40, {0x0000FF, 0x00FF00, 0xFF0000, 0}},        // red and blue swapped
        {32, 0, 40, {0xFF0000, 0x00FF00, 0x0000FF, 0}},
        {32, 3, 108, {0xFF000000, 0x00FF0000, 0x0000FF00, 0}},
        {32, 3, 124, {0xFFE00000, 0x001FFC00, 0x000003FF, 0}},   // 11-11-10: not black
        {32, 3, 124, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}},
        {32, 3, 56, {0xFE000000, 0x01FFFF80, 0x0000007F, 0}},   // 7-18-7: not magenta
        {32, 6, 40, {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000}},
        {32, 3, 40, {0x00FF0000, 0, 0x000000FF, 0}},             // no green at all
    };
    const int w = 37, h = 9;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, masks " << std::hex << c.masks[0] << " " << c.masks[1]
                                        << " " << c.masks[2] << " " << c.masks[3]);
        BitmapSpec s;
        s.bits = c.bits;
        s.compression = c.compression;
        s.headerSize = c.header;
        std::copy(std::begin(c.masks), std::end(c.masks), s.masks);
        auto stored = [&](int x, int y) {
            std::uint32_t v = Packed(c.masks, x, y, w, h);
            if (c.bits == 32 && c.compression == 0)
                v |= 0x5A000000;   // the unused byte is not alpha and changes nothing
            return v;
        };
        const QImage decoded = Decode(WriteBitmap(s, w, h, stored, {}));
        EXPECT_EQ(decoded, Expected(w, h, [&](int x, int y) { return Unpacked(c.masks, Packed(c.masks, x, y, w, h)); }));
        // The full range reaches both ends.
        EXPECT_EQ(qRed(decoded.pixel(w - 1, 0)), c.masks[0] ? 255 : 0);
        EXPECT_EQ(qRed(decoded.pixel(0, 0)), 0);
    }
}

TEST(BitmapReader, RunLengthCodesRunsLiteralsDeltasAndEarlyEnds)
{
    // Rows from the bottom. Row 0: a run of 3 (index 1), a literal of 3 (an
    // odd count: padded), end of line. Row 1: a run of 9 cut at the row's
    // end of 6. Row 2: a run of 1, then a delta 2 right and 1 up, landing in
    // row 3 at x 3; a run of 2 (index 4); end of bitmap: the rest is index 0.
    BitmapSpec s;
    s.bits = 8;
    s.compression = 1;
    const QByteArray data = QByteArray::fromHex("0301" "0003" "050607" "00" "0000"
                                                "0902" "0000"
                                                "0101" "0002" "0201" "0204" "0001");
    const QVector<QRgb> palette = Colours(8);
    const int w = 6, h = 5;
    const int expected[5][6] = {
        {0, 0, 0, 0, 0, 0},   // top row (file row 4): never reached
        {0, 0, 0, 4, 4, 0},   // file row 3: after the delta
        {1, 0, 0, 0, 0, 0},   // file row 2: one pixel, then the delta left it
        {2, 2, 2, 2, 2, 2},   // file row 1: the run cut at the row's end
        {1, 1, 1, 5, 6, 7},   // bottom row
    };
    EXPECT_EQ(Decode(WriteRunLengthBitmap(s, w, h, data, palette)),
              Expected(w, h, [&](int x, int y) { return palette[expected[y][x]]; }));
}

TEST(BitmapReader, FourBitRunLengthsAlternateTheirTwoColours)
{
    BitmapSpec s;
    s.bits = 4;
    s.compression = 2;
    // A run of 5 alternating 3 and 9; a literal of 3 nibbles (a, b, c) in two
    // bytes, padded to a word; end of bitmap.
    const QByteArray data = QByteArray::fromHex("0539" "0003" "abc0" "0001");
    const QVector<QRgb> palette = Colours(16);
    const int row[8] = {3, 9, 3, 9, 3, 10, 11, 12};
    EXPECT_EQ(Decode(WriteRunLengthBitmap(s, 8, 1, data, palette)), Expected(8, 1, [&](int x, int) { return palette[row[x]]; }));
}

TEST(BitmapReader, AnEarlyEndGivesTheSamePixelsEveryTime)
{
    // The memory a picture is decoded into may have held another picture:
    // what no run paints must still be palette entry 0, not what was there.
    BitmapSpec s;
    s.bits = 8;
    s.compression = 1;
    const QByteArray early = WriteRunLengthBitmap(s, 300, 200, QByteArray::fromHex("0a05" "0000" "0001"), Colours(8));
    BitmapSpec plain;
    const QByteArray busy = WriteBitmap(plain, 300, 200, [](int x, int y) { return std::uint32_t(x * 977 + y * 131); });
    Decode(busy);   // leaves its memory for the next picture of this size
    const QImage first = Decode(early);
    Decode(busy);
    const QImage second = Decode(early);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.pixel(0, 199), Colours(8)[5]);
    EXPECT_EQ(first.pixel(10, 199), Colours(8)[0]);
    EXPECT_EQ(first.pixel(150, 0), Colours(8)[0]);
}

TEST(BitmapReader, WhatItCannotReadRightItRefuses)
{
    BitmapSpec rgb;
    const QByteArray good = WriteBitmap(rgb, 4, 4, [](int, int) { return 0x123456u; });
    ASSERT_EQ(Refusal(good), "loaded");
    auto edited = [&](int at, std::uint32_t value, int bytes = 4) {
        QByteArray b = good;
        for (int i = 0; i < bytes; ++i)
            b[at + i] = char((value >> (8 * i)) & 0xFF);
        return b;
    };
    const std::string refused = "Bitmap image is not valid";
    EXPECT_EQ(Refusal(QByteArray()), refused);
    EXPECT_EQ(Refusal("BA" + good.mid(2)), refused) << "an OS/2 bitmap array";
    EXPECT_EQ(Refusal(good.left(good.size() - 1)), refused) << "pixels cut short";
    EXPECT_EQ(Refusal(edited(14, 100)), refused) << "a header length of no kind";
    EXPECT_EQ(Refusal(edited(14, 8)), refused) << "a header length of no kind";
    EXPECT_EQ(Refusal(edited(18, 0)), refused) << "no width";
    EXPECT_EQ(Refusal(edited(22, 0)), refused) << "no height";
    EXPECT_EQ(Refusal(edited(28, 3, 2)), refused) << "3 bits per pixel";
    EXPECT_EQ(Refusal(edited(30, 4)), refused) << "JPEG inside";
    EXPECT_EQ(Refusal(edited(30, 5)), refused) << "PNG inside";
    EXPECT_EQ(Refusal(edited(30, 1)), refused) << "run-length coding at 24 bits";
    QByteArray huge = edited(18, 20000);
    huge = huge.left(22) + QByteArray::fromHex("204e0000") + huge.mid(26);   // 20000 x 20000: 1.6 GB of pixels
    EXPECT_EQ(Refusal(huge), refused);

    auto fields = [](std::uint32_t r, std::uint32_t g, std::uint32_t b, int bits) {
        BitmapSpec s;
        s.bits = bits;
        s.compression = 3;
        s.masks[0] = r, s.masks[1] = g, s.masks[2] = b;
        return WriteBitmap(s, 3, 3, [](int, int) { return 0u; });
    };
    EXPECT_EQ(Refusal(fields(0xF800, 0x07E0, 0x001F, 16)), "loaded");
    EXPECT_EQ(Refusal(fields(0xFC00, 0x07E0, 0x001F, 16)), refused) << "overlapping masks";
    EXPECT_EQ(Refusal(fields(0xF0F0, 0x0700, 0x000F, 16)), refused) << "a mask with a hole";
    EXPECT_EQ(Refusal(fields(0x1F0000, 0x07E0, 0x001F, 16)), refused) << "a mask past the pixel";
    EXPECT_EQ(Refusal(fields(0, 0, 0, 32)), refused) << "no colour at all";

    BitmapSpec pal;
    pal.bits = 4;
    pal.colorsUsed = 17;
    EXPECT_EQ(Refusal(WriteBitmap(pal, 2, 2, [](int, int) { return 0u; }, Colours(17))), refused) << "17 colours in 4 bits";

    BitmapSpec rle;
    rle.bits = 8;
    rle.compression = 1;
    EXPECT_EQ(Refusal(WriteRunLengthBitmap(rle, 4, 2, QByteArray::fromHex("0401" "0000"), Colours(2))), refused)
        << "data that ends before the picture, with no end marker";
    EXPECT_EQ(Refusal(WriteRunLengthBitmap(rle, 4, 1, QByteArray::fromHex("0005" "0101010101" "00" "0001"), Colours(2))), refused)
        << "literal pixels past the row's end";
    rle.topDown = true;
    EXPECT_EQ(Refusal(WriteRunLengthBitmap(rle, 4, 1, QByteArray::fromHex("0401" "0001"), Colours(2))), refused)
        << "run-length coded rows top-down";
    rle.topDown = false;
    EXPECT_EQ(Refusal(WriteRunLengthBitmap(rle, maxPictureSide + 1, 1, QByteArray::fromHex("0001"), Colours(2))), refused)
        << "a side past the longest";
    EXPECT_EQ(Refusal(WriteRunLengthBitmap(rle, 1, maxPictureSide + 1, QByteArray::fromHex("0001"), Colours(2))), refused)
        << "a side past the longest";
}

TEST(BitmapReader, HalvingAveragesEachBlockAndWhatTheEdgesHold)
{
    // 7 x 5 pixels of distinct colours, shrunk by 2 and by 4: each output
    // pixel is the rounded mean of its block; blocks cut by the right and
    // bottom edges average the pixels they have.
    BitmapSpec s;
    const int w = 7, h = 5;
    auto colour = [](int x, int y) { return qRgb(x * 30 + y, y * 50 + 3, (x * y * 17) % 256); };
    const QByteArray file = WriteBitmap(s, w, h, [&](int x, int y) { return std::uint32_t(colour(x, y) & 0xFFFFFF); });
    for (int k : {1, 2}) {
        SCOPED_TRACE(k);
        const int unit = 1 << k, ow = (w + unit - 1) / unit, oh = (h + unit - 1) / unit;
        const QImage expected = Expected(ow, oh, [&](int ox, int oy) {
            double sum[3] = {0, 0, 0};
            int n = 0;
            for (int y = oy * unit; y < std::min(h, (oy + 1) * unit); ++y)
                for (int x = ox * unit; x < std::min(w, (ox + 1) * unit); ++x, ++n) {
                    sum[0] += qRed(colour(x, y));
                    sum[1] += qGreen(colour(x, y));
                    sum[2] += qBlue(colour(x, y));
                }
            return qRgb(int(std::floor(sum[0] / n + 0.5)), int(std::floor(sum[1] / n + 0.5)), int(std::floor(sum[2] / n + 0.5)));
        });
        EXPECT_EQ(Decode(file, k), expected);
    }
    // Bottom-up or top-down, the same picture.
    s.topDown = true;
    EXPECT_EQ(Decode(WriteBitmap(s, w, h, [&](int x, int y) { return std::uint32_t(colour(x, y) & 0xFFFFFF); }), 1),
              Decode(file, 1));
}

TEST(BitmapReader, TheSourceIsLeftRightBehindThePixels)
{
    BitmapSpec s;
    const QByteArray file = WriteBitmap(s, 5, 3, [](int x, int) { return std::uint32_t(x); }) + QByteArray(100000, 'z');
    MemorySource source(file.constData(), std::size_t(file.size()));
    decodeBitmap(source, 0, DecodeControl());
    EXPECT_EQ(source.position(), std::uint64_t(file.size() - 100000));
}

TEST(BitmapReader, ACancelledDecodeStops)
{
    BitmapSpec s;
    const QByteArray file = WriteBitmap(s, 64, 64, [](int, int) { return 0u; });
    MemorySource source(file.constData(), std::size_t(file.size()));
    std::atomic<bool> cancel{true};
    EXPECT_THROW(decodeBitmap(source, 0, DecodeControl(&cancel)), DecodeCancelled);
}

TEST(BitmapReader, TheHeaderAloneGivesTheSize)
{
    BitmapSpec s;
    s.topDown = true;
    QByteArray file = WriteBitmap(s, 123, 45, [](int, int) { return 0u; });
    file.truncate(60);   // the rows need not be read, but are checked for
    MemorySource source(file.constData(), std::size_t(file.size()));
    EXPECT_THROW(readBitmapHeader(source), DecodeError);
    const QByteArray whole = WriteBitmap(s, 123, 45, [](int, int) { return 0u; });
    MemorySource all(whole.constData(), std::size_t(whole.size()));
    const BitmapHeader h = readBitmapHeader(all);
    EXPECT_EQ(h.width, 123);
    EXPECT_EQ(h.height, 45);
    EXPECT_EQ(h.bits, 24);
}
