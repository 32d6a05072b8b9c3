// Streams, the bitmap, the picture holder and the picture-format registry.
#include "BitmapWriter.h"
#include "TestSupport.h"
#include "toolkit/Graphics.h"
#include "toolkit/PictureFormats.h"
#include "toolkit/PictureHolder.h"

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

TEST(Bitmap, EveryKindLoadsInTrueColourThroughTheReader)
{
    // Each kind's pixels are the reader's business (tests/decode); here the
    // bitmap takes what it gives, of any kind, as 32-bit pixels.
    const QVector<QRgb> palette{qRgb(200, 30, 40), qRgb(20, 160, 60)};
    BitmapSpec os2;
    os2.headerSize = 12;
    os2.bits = 8;
    BitmapSpec fields;
    fields.bits = 16;
    fields.compression = 3;
    fields.masks[0] = 0xF800, fields.masks[1] = 0x07E0, fields.masks[2] = 0x001F;
    struct Case {
        QByteArray file;
        QRgb first, second;   // pixels (0, 0) and (1, 0)
    };
    const Case cases[] = {
        {WriteBitmap(os2, 5, 3, [](int x, int y) { return std::uint32_t((x + y) % 2); }, palette), palette[0], palette[1]},
        {BlankBitmap(5, 3, qRgb(20, 160, 60)), qRgb(20, 160, 60), qRgb(20, 160, 60)},   // run-length coded
        {WriteBitmap(fields, 5, 3, [](int x, int) { return x == 0 ? 0xF800u : 0x07E0u; }), qRgb(255, 0, 0), qRgb(0, 255, 0)},
    };
    for (const Case& c : cases) {
        TBitmap b;
        TMemoryStream s(c.file);
        b.LoadFromStream(s);
        ASSERT_EQ(b.Image().size(), QSize(5, 3));
        EXPECT_EQ(b.Image().format(), QImage::Format_RGB32);
        EXPECT_EQ(b.Image().pixel(0, 0), c.first);
        EXPECT_EQ(b.Image().pixel(1, 0), c.second);
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
    BitmapSpec one;
    one.bits = 1;
    const QByteArray mono = WriteBitmap(one, 127, 64, [](int x, int y) { return std::uint32_t((x / 5 + y / 7) % 2); },
                                        {qRgb(255, 255, 255), qRgb(0, 0, 0)});
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
