// Damaged bitmap headers found by fuzzing the bitmap loader: a data offset
// that points into the header, and sizes whose product overflows. Either way
// the pixel data is not there, so the file is refused at once with the
// loader's message, instead of a picture of 1 GiB being made up.
#include "TestSupport.h"
#include "toolkit/Graphics.h"

#include <QByteArray>
#include <QImage>
#include <gtest/gtest.h>

namespace {

void Put32(QByteArray& b, int at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}

void Put16(QByteArray& b, int at, std::uint16_t v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char(v >> 8);
}

// A Windows bitmap header of `headerSize` bytes (40 or more) claiming
// width x height at `bits` per pixel, then `tail` bytes of pixels.
QByteArray Header(std::uint32_t offset, std::uint32_t headerSize, std::int32_t width, std::int32_t height, int bits,
                  std::uint32_t compression, int tail)
{
    QByteArray b(int(14 + headerSize) + tail, '\x55');
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, std::uint32_t(b.size()));
    Put32(b, 6, 0);
    Put32(b, 10, offset);
    Put32(b, 14, headerSize);
    Put32(b, 18, std::uint32_t(width));
    Put32(b, 22, std::uint32_t(height));
    Put16(b, 26, 1);
    Put16(b, 28, std::uint16_t(bits));
    Put32(b, 30, compression);
    Put32(b, 34, 0);
    for (int i = 38; i < int(14 + headerSize); ++i)
        b[i] = 0;
    if (compression == 3 && headerSize >= 56) {   // colour masks inside the header
        Put32(b, 54, 0x00ff0000);
        Put32(b, 58, 0x0000ff00);
        Put32(b, 62, 0x000000ff);
    }
    return b;
}

void ExpectRefusedKeepingThePicture(const QByteArray& file)
{
    TBitmap bitmap;
    QImage before(3, 2, QImage::Format_RGB32);
    before.fill(Qt::green);
    bitmap.SetImage(before);
    TMemoryStream stream(file);
    try {
        bitmap.LoadFromStream(stream);
        FAIL() << "loaded a " << bitmap.Width() << " x " << bitmap.Height() << " picture";
    } catch (const EGlimmerError& e) {
        EXPECT_EQ(e.Text(), QString::fromLatin1(SInvalidBitmap));
    }
    EXPECT_EQ(bitmap.Image(), before);
}

TEST(DamagedBitmap, AnOffsetIntoTheHeaderDoesNotExcuseMissingPixels)
{
    // The fuzzer's file: 173 bytes claiming 127 x 2109695 pixels of 32 bits.
    ExpectRefusedKeepingThePicture(Header(0, 124, 127, 2109695, 32, 3, 35));
    ExpectRefusedKeepingThePicture(Header(20, 40, 1000, 1000, 24, 0, 100));
}

TEST(DamagedBitmap, AnOffsetIntoTheHeaderWithThePixelsBehindItStillLoads)
{
    // Qt takes the pixels from right behind the header; when they are all
    // there, the picture is the one they make.
    QByteArray file = Header(0, 40, 2, 2, 24, 0, 16);
    TBitmap bitmap;
    TMemoryStream stream(file);
    bitmap.LoadFromStream(stream);
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(bitmap.Height(), 2);
}

TEST(DamagedBitmap, SizesWhoseProductOverflowsAreRefused)
{
    ExpectRefusedKeepingThePicture(Header(54, 40, 0x7fffffff, 0x7fffffff, 32, 0, 64));
    ExpectRefusedKeepingThePicture(Header(54, 40, 0x7fffffff, -0x7fffffff, 32, 3, 64));
}

TEST(DamagedBitmap, ARowLongerThanAPictureCanHoldIsRefused)
{
    // The fuzzer's file, 70 bytes: run-length rows 67,127,042 pixels wide
    // that end at once. Half a gigabyte of pixels is within the limit, but no
    // QImage holds a row of that length; it loaded as an empty picture.
    ExpectRefusedKeepingThePicture(QByteArray::fromBase64(
        "Qk1GAAAAAAAAAD4AAAAoAAAAAkcABAIAAAABAAgAAQAAAAAAAAAAAHwAAAAAAAAAAAACAAAAAAD/AAAAAAD/AAADAAEAAAAB"));
}

TEST(DamagedBitmap, AnOs2HeaderWithAnOffsetIntoItIsCheckedToo)
{
    QByteArray b(26 + 10, '\x33');
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, std::uint32_t(b.size()));
    Put32(b, 6, 0);
    Put32(b, 10, 0);      // into the header
    Put32(b, 14, 12);
    Put16(b, 18, 4000);
    Put16(b, 20, 4000);
    Put16(b, 22, 1);
    Put16(b, 24, 24);
    ExpectRefusedKeepingThePicture(b);
}

} // namespace
