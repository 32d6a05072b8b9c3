// Streams, the bitmap, the picture holder and the picture-format registry.
#include "BmpFiles.h"
#include "TestSupport.h"
#include "toolkit/Graphics.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// A Windows bitmap written out by hand: 2 x 2 pixels, 24 bits, bottom-up.
// Top line red, green; bottom line blue, white.
QByteArray TwoByTwoBmp()
{
    return QByteArray::fromHex("424d"           // "BM"
                               "46000000"       // file size 70
                               "00000000"
                               "36000000"       // pixels at 54
                               "28000000"       // BITMAPINFOHEADER
                               "02000000"       // width 2
                               "02000000"       // height 2, bottom-up
                               "0100" "1800"    // planes 1, 24 bits
                               "00000000"       // BI_RGB
                               "10000000"       // image size 16
                               "130b0000" "130b0000" "00000000" "00000000"
                               // bottom line: blue, white, 2 bytes padding
                               "ff0000" "ffffff" "0000"
                               // top line: red, green
                               "0000ff" "00ff00" "0000");
}

QImage Solid(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QString ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

} // namespace

// ---------------------------------------------------------------- streams

TEST(Streams, MemoryStreamReadsWritesAndSeeks)
{
    TMemoryStream s;
    EXPECT_EQ(s.Write("hello", 5), 5u);
    EXPECT_EQ(s.Size(), 5);
    s.Seek(1, SEEK_SET);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 4u);
    EXPECT_EQ(QByteArray(buf, 4), "ello");
    EXPECT_EQ(s.Read(buf, 8), 0u);
    s.Seek(8, SEEK_SET);
    s.Write("!", 1);
    EXPECT_EQ(s.Bytes(), QByteArray("hello\0\0\0!", 9));
    EXPECT_EQ(ErrorOf([&] { s.Seek(-20, SEEK_END); }), "I/O error 131");
}

TEST(Streams, AViewReadsTheCallersBytesAndRefusesWrites)
{
    const char data[] = "0123456789";
    TMemoryStream s(data + 2, 5);
    EXPECT_EQ(s.Size(), 5);
    char buf[10] = {};
    s.ReadBuffer(buf, 5);
    EXPECT_EQ(QByteArray(buf, 5), "23456");
    EXPECT_EQ(s.Write("x", 1), 0u);
    s.Seek(0, SEEK_SET);
    EXPECT_EQ(ErrorOf([&] { s.ReadBuffer(buf, 6); }), "Read beyond end of file");
    EXPECT_EQ(ErrorOf([&] { s.WriteBuffer("x", 1); }), "Disk full");
}

TEST(Streams, FileStreamResolvesNamesAndReportsMissingFiles)
{
    TempFolder folder;
    WriteAll(folder.File("Data.bin"), "abc");
    THandleStream s("DATA.BIN", TFileStream::fmOpenRead);
    EXPECT_EQ(s.Size(), 3);
    char buf[3];
    s.ReadBuffer(buf, 3);
    EXPECT_EQ(QByteArray(buf, 3), "abc");
    EXPECT_EQ(ErrorOf([] { THandleStream("NOPE.BIN", TFileStream::fmOpenRead); }), "File not found");
}

// ---------------------------------------------------------------- bitmap

TEST(Bitmap, LoadsAHandWrittenBitmapTopLineOnTop)
{
    TBitmap b;
    TMemoryStream s(TwoByTwoBmp());
    b.LoadFromStream(s);
    ASSERT_EQ(b.Width(), 2);
    ASSERT_EQ(b.Height(), 2);
    EXPECT_EQ(b.Image().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(b.Image().pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(b.Image().pixel(0, 1), qRgb(0, 0, 255));
    EXPECT_EQ(b.Image().pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(s.Position(), 70) << "the stream stands right behind the bitmap";
}

TEST(Bitmap, PaletteAndSixteenBitVariantsLoadInTrueColour)
{
    struct Variant {
        const char* name;
        int colours;
        BmpOptions options;
        int tolerance;   // a 5- or 6-bit channel cannot hold every level exactly
    };
    const Variant variants[] = {
        {"pal1", 2, {.bits = 1}, 0},
        {"pal4", 16, {.bits = 4}, 0},
        {"pal4rle", 16, {.bits = 4, .compression = BmpOptions::Rle4}, 0},
        {"pal8", 16, {.bits = 8}, 0},
        {"pal8rle", 16, {.bits = 8, .compression = BmpOptions::Rle8}, 0},
        {"pal8os2", 16, {.header = BmpOptions::Core, .bits = 8}, 0},
        {"rgb16-565", 16, {.bits = 16, .compression = BmpOptions::BitFields, .masks = {0xF800, 0x07E0, 0x001F}}, 12},
        {"rgb32bf", 16, {.bits = 32, .compression = BmpOptions::BitFields, .masks = {0xFF000000, 0xFF0000, 0xFF00}}, 0},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        const QImage expected = BandedPicture(127, 64, v.colours);
        TBitmap b;
        TMemoryStream s(EncodeBmp(expected, v.options));
        b.LoadFromStream(s);
        ASSERT_EQ(b.Image().size(), QSize(127, 64));
        EXPECT_EQ(b.Image().format(), QImage::Format_RGB32);
        int worst = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 127; ++x) {
                const QRgb got = b.Image().pixel(x, y), want = expected.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(got) - qRed(want)), std::abs(qGreen(got) - qGreen(want)),
                                  std::abs(qBlue(got) - qBlue(want))});
            }
        EXPECT_LE(worst, v.tolerance);
    }
}

TEST(Bitmap, SeeThroughPixelsKeepTheirColour)
{
    QImage argb(2, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(200, 100, 50, 0));
    argb.setPixel(1, 0, qRgba(10, 20, 30, 128));
    TBitmap b;
    b.SetImage(argb);
    EXPECT_EQ(b.Image().pixel(0, 0), qRgb(200, 100, 50));
    EXPECT_EQ(b.Image().pixel(1, 0), qRgb(10, 20, 30));
}

TEST(Bitmap, CutShortAndForeignFilesFailAndKeepThePicture)
{
    TBitmap b;
    b.SetImage(Solid(4, 4, qRgb(9, 9, 9)));
    const QByteArray bmp = TwoByTwoBmp();
    QByteArray png;
    {
        QBuffer buf(&png);
        buf.open(QIODevice::WriteOnly);
        QImageWriter(&buf, "png").write(Solid(3, 3, qRgb(1, 1, 1)));
    }
    for (const QByteArray& bad : {bmp.left(bmp.size() - 3), bmp.left(30), QByteArray(), png}) {
        TMemoryStream s(bad);
        EXPECT_EQ(ErrorOf([&] { b.LoadFromStream(s); }), SInvalidBitmap);
        EXPECT_EQ(b.Width(), 4);
        EXPECT_EQ(b.Image().pixel(0, 0), qRgb(9, 9, 9));
    }
    // A one-bit bitmap cut off in the middle of its rows.
    const QByteArray mono = EncodeBmp(BandedPicture(127, 64, 2), {.bits = 1});
    TMemoryStream cut(mono.left(mono.size() / 2));
    EXPECT_EQ(ErrorOf([&] { b.LoadFromStream(cut); }), SInvalidBitmap);
    // A 2 x 2 RLE8 bitmap whose first run copies three pixels into a row of two.
    TMemoryStream overflow(QByteArray::fromHex("424d46000000000000003e000000"
                                               "28000000020000000200000001000800010000000000000000000000000000000200000000000000"
                                               "ff000000" "00ff0000"
                                               "000300010000" "0001"));
    EXPECT_EQ(ErrorOf([&] { b.LoadFromStream(overflow); }), SInvalidBitmap);
}

TEST(Bitmap, SavesAndLoadsItselfAsABitmapFile)
{
    QImage image(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.setPixel(x, y, qRgb(x * 50, y * 80, 7));
    TBitmap b;
    b.SetImage(image);
    TMemoryStream out;
    b.SaveToStream(out);
    EXPECT_TRUE(out.Bytes().startsWith("BM"));
    TBitmap again;
    TMemoryStream in(out.Bytes());
    again.LoadFromStream(in);
    EXPECT_EQ(again.Image(), image);
}

TEST(Bitmap, CopiesShareThePixelsUntilOneChanges)
{
    TBitmap a, b;
    a.SetImage(Solid(3, 3, qRgb(1, 2, 3)));
    b.Assign(a);
    EXPECT_EQ(a.Image().constBits(), b.Image().constBits());
    a.SetImage(Solid(3, 3, qRgb(4, 5, 6)));
    EXPECT_EQ(b.Image().pixel(1, 1), qRgb(1, 2, 3));
}

TEST(Bitmap, DrawsStretchedIntoTheRectangle)
{
    TBitmap b;
    b.SetImage(Solid(2, 2, qRgb(200, 0, 0)));
    QImage canvas = Solid(10, 10, qRgb(0, 0, 0));
    {
        QPainter p(&canvas);
        b.Draw(p, QRect(2, 3, 6, 4));
    }
    EXPECT_EQ(canvas.pixel(2, 3), qRgb(200, 0, 0));
    EXPECT_EQ(canvas.pixel(7, 6), qRgb(200, 0, 0));
    EXPECT_EQ(canvas.pixel(8, 6), qRgb(0, 0, 0));
    EXPECT_EQ(canvas.pixel(7, 7), qRgb(0, 0, 0));
}

// ---------------------------------------------------------------- holder

TEST(Picture, AssigningCopiesTheClassAndSharesThePixels)
{
    auto source = std::make_unique<TBitmap>();
    source->SetImage(Solid(8, 5, qRgb(3, 3, 3)));
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&] { ++changes; };
    picture.SetGraphic(source.get());
    ASSERT_NE(picture.Bitmap(), nullptr);
    EXPECT_NE(picture.Graphic(), source.get()) << "the holder has its own graphic";
    EXPECT_EQ(picture.Bitmap()->Image().constBits(), source->Image().constBits());
    EXPECT_EQ(changes, 1);
    source.reset();   // the caller frees its own
    EXPECT_EQ(picture.Width(), 8);
    picture.Bitmap()->SetImage(Solid(2, 2, qRgb(0, 0, 0)));
    EXPECT_EQ(changes, 2) << "a change of the graphic itself is reported";
    picture.SetGraphic(nullptr);
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(changes, 3);
}

TEST(Picture, LoadsBitmapsByNameInAnyCase)
{
    TempFolder folder;
    WriteAll(folder.File("tree.bmp"), TwoByTwoBmp());
    TPicture picture;
    picture.LoadFromFile("TREE.BMP");
    ASSERT_NE(picture.Bitmap(), nullptr);
    EXPECT_EQ(picture.Width(), 2);
    picture.LoadFromMemory("X.Bmp", TwoByTwoBmp().constData(), std::size_t(TwoByTwoBmp().size()));
    EXPECT_EQ(picture.Height(), 2);
}

TEST(Picture, AFailedLoadKeepsTheGraphic)
{
    TempFolder folder;
    WriteAll(folder.File("GOOD.BMP"), TwoByTwoBmp());
    WriteAll(folder.File("BAD.BMP"), "BMnonsense");
    TPicture picture;
    picture.LoadFromFile("GOOD.BMP");
    const TGraphic* before = picture.Graphic();
    EXPECT_EQ(ErrorOf([&] { picture.LoadFromFile("BAD.BMP"); }), SInvalidBitmap);
    EXPECT_EQ(ErrorOf([&] { picture.LoadFromFile("MISSING.BMP"); }), "File not found");
    EXPECT_EQ(ErrorOf([&] { picture.LoadFromFile("GOOD.TIFF"); }), "Unknown picture file extension (.tiff)");
    EXPECT_EQ(ErrorOf([&] { picture.LoadFromFile("NODOT"); }), "Unknown picture file extension (.)");
    EXPECT_EQ(picture.Graphic(), before);
}

// ---------------------------------------------------------------- registry

TEST(Registry, NewestEntryWinsAndExtensionsAreLowerCase)
{
    RegisterFileFormat("Qqa", "first", [] { return std::make_unique<TBitmap>(); });
    RegisterFileFormat(".QQA", "second", [] { return std::make_unique<TBitmap>(); });
    ASSERT_NE(FindFileFormat("qqa"), nullptr);
    EXPECT_EQ(FindFileFormat("qQa")->Description, "second");
    EXPECT_EQ(FindFileFormat("qqa")->Extension, "qqa");
    EXPECT_EQ(FindFileFormat("bmp")->Description, "Bitmaps");
    EXPECT_EQ(FindFileFormat("gif"), nullptr);
}
