// The JPEG bitmap: what a decoded picture looks like, how failures leave the
// bitmap and the mouse pointer, how the stream is read, and the save path.
#include "JpegFiles.h"
#include "TestSupport.h"
#include "picture/JPEGBitmap.h"
#include "picture/TransferImage.h"
#include "toolkit/Cursor.h"
#include "toolkit/PictureFormats.h"
#include "toolkit/PictureHolder.h"

#include <gtest/gtest.h>

namespace {

QImage Solid(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A bitmap that already holds a picture, to see that a failed load keeps it.
void HoldPrevious(TBitmap& bitmap)
{
    bitmap.SetImage(Solid(7, 3, qRgb(10, 20, 30)));
}

void ExpectPreviousKept(const TBitmap& bitmap)
{
    EXPECT_EQ(bitmap.Width(), 7);
    EXPECT_EQ(bitmap.Height(), 3);
    EXPECT_EQ(bitmap.Image().pixel(6, 2), qRgb(10, 20, 30));
}

int Distance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

QString LoadError(TJPEGBitmap& bitmap, const QByteArray& bytes)
{
    TMemoryStream stream(bytes);
    try {
        bitmap.LoadFromStream(stream);
    } catch (const EJPEGError& e) {
        return e.Text();
    }
    return QString();
}

// Reads like a memory stream and notes the pointer shape at every read.
class WatchedStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;
    std::size_t Read(void* buffer, std::size_t n) override
    {
        ++Reads;
        Shapes.push_back(ScreenCursor());
        if (FailAfter >= 0 && Reads > FailAfter)
            throw EInOutError(5);
        return TMemoryStream::Read(buffer, n);
    }
    int Reads = 0;
    int FailAfter = -1;
    std::vector<TCursorShape> Shapes;
};

class JPEGBitmapTest : public ::testing::Test {
protected:
    void SetUp() override { SetScreenCursor(TCursorShape::Default); }
    void TearDown() override { SetScreenCursor(TCursorShape::Default); }
};

} // namespace

// ---------------------------------------------------------------- decoding

TEST_F(JPEGBitmapTest, GreyscaleGivesEqualBlueGreenRed)
{
    const QImage source = TestPicture(40, 24);
    TJPEGBitmap bitmap;
    TMemoryStream stream(EncodeJpeg(source, {JpegOptions::Grey}));
    bitmap.LoadFromStream(stream);
    ASSERT_EQ(bitmap.Width(), 40);
    ASSERT_EQ(bitmap.Height(), 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) {
            const QRgb p = bitmap.Image().pixel(x, y);
            ASSERT_EQ(qRed(p), qGreen(p));
            ASSERT_EQ(qGreen(p), qBlue(p));
            ASSERT_LE(std::abs(qGreen(p) - qGreen(source.pixel(x, y))), 6) << x << "," << y;
        }
}

TEST_F(JPEGBitmapTest, ColoursKeepTheirOrder)
{
    // Pure red, green and blue blocks, so that a swap of red and blue shows.
    QImage source(24, 8, QImage::Format_RGB32);
    for (int x = 0; x < 24; ++x)
        for (int y = 0; y < 8; ++y)
            source.setPixel(x, y, x < 8 ? qRgb(255, 0, 0) : x < 16 ? qRgb(0, 255, 0) : qRgb(0, 0, 255));
    TJPEGBitmap bitmap;
    TMemoryStream stream(EncodeJpeg(source));
    bitmap.LoadFromStream(stream);
    EXPECT_LE(Distance(bitmap.Image().pixel(3, 4), qRgb(255, 0, 0)), 12);
    EXPECT_LE(Distance(bitmap.Image().pixel(11, 4), qRgb(0, 255, 0)), 12);
    EXPECT_LE(Distance(bitmap.Image().pixel(20, 4), qRgb(0, 0, 255)), 12);
}

TEST_F(JPEGBitmapTest, WidthFiveGivesTransferRowsOfSixteenBytesInBlueGreenRed)
{
    QImage source(5, 16, QImage::Format_RGB32);
    source.fill(qRgb(200, 100, 30));
    TJPEGBitmap bitmap;
    TMemoryStream stream(EncodeJpeg(source));
    bitmap.LoadFromStream(stream);

    const TTransferImage t = TTransferImage::FromImage(bitmap.Image());
    EXPECT_EQ(t.Stride(), 16);
    EXPECT_EQ(t.Pixels().size(), 16 * 16);
    for (int r = 0; r < 16; ++r) {
        const unsigned char* row = t.Row(r);
        const QRgb decoded = bitmap.Image().pixel(0, 15 - r);
        for (int j = 0; j < 5; ++j) {
            const QRgb p = bitmap.Image().pixel(j, 15 - r);
            EXPECT_EQ(row[3 * j], qBlue(p));
            EXPECT_EQ(row[3 * j + 1], qGreen(p));
            EXPECT_EQ(row[3 * j + 2], qRed(p));
        }
        EXPECT_EQ(row[15], 0) << "padding";
        EXPECT_LE(Distance(decoded, qRgb(200, 100, 30)), 6);
    }
}

TEST_F(JPEGBitmapTest, TransferHeaderIsTheFortyByteBitmapInfoHeader)
{
    const TTransferImage t = TTransferImage::FromImage(Solid(5, 3, qRgb(1, 2, 3)));
    const QByteArray expected = QByteArray::fromHex("28000000"   // biSize 40
                                                    "05000000"   // biWidth
                                                    "03000000"   // biHeight, positive: bottom-up
                                                    "0100"       // biPlanes
                                                    "1800"       // biBitCount 24
                                                    "00000000"   // biCompression BI_RGB
                                                    "30000000"   // biSizeImage 16 x 3
                                                    "00000000000000000000000000000000");
    EXPECT_EQ(t.Header().toHex(), expected.toHex());
    EXPECT_EQ(TTransferImage::StrideFor(1), 4);
    EXPECT_EQ(TTransferImage::StrideFor(4), 12);
    EXPECT_EQ(TTransferImage::StrideFor(5), 16);
    EXPECT_EQ(TTransferImage::StrideFor(227), 684);
}

TEST_F(JPEGBitmapTest, TopLineOfTheFileIsTheTopLineOfTheBitmap)
{
    QImage source(16, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 16; ++x)
            source.setPixel(x, y, y < 16 ? qRgb(250, 250, 250) : qRgb(0, 0, 0));
    TJPEGBitmap bitmap;
    TMemoryStream stream(EncodeJpeg(source));
    bitmap.LoadFromStream(stream);
    EXPECT_GT(qGreen(bitmap.Image().pixel(8, 2)), 230);
    EXPECT_LT(qGreen(bitmap.Image().pixel(8, 29)), 25);
    // and in the transfer image the top line is the last row
    const TTransferImage t = TTransferImage::FromImage(bitmap.Image());
    EXPECT_GT(t.Row(31)[0], 230);
    EXPECT_LT(t.Row(0)[0], 25);
}

TEST_F(JPEGBitmapTest, ProgressiveAndOddSizesDecodeAtFullSize)
{
    for (QSize size : {QSize(1, 1), QSize(17, 9), QSize(333, 77)}) {
        TJPEGBitmap bitmap;
        TMemoryStream stream(EncodeJpeg(TestPicture(size.width(), size.height()), {JpegOptions::RGB, 90, true}));
        bitmap.LoadFromStream(stream);
        EXPECT_EQ(bitmap.Image().size(), size);
    }
}

TEST_F(JPEGBitmapTest, AdobeAndPlainCmykGiveTheRightColours)
{
    QImage source(16, 8, QImage::Format_RGB32);
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 8; ++y)
            source.setPixel(x, y, x < 8 ? qRgb(230, 30, 30) : qRgb(30, 60, 220));
    for (auto kind : {JpegOptions::AdobeCMYK, JpegOptions::PlainCMYK}) {
        SCOPED_TRACE(int(kind));
        TJPEGBitmap bitmap;
        TMemoryStream stream(EncodeJpeg(source, {kind}));
        bitmap.LoadFromStream(stream);
        EXPECT_LE(Distance(bitmap.Image().pixel(3, 4), qRgb(230, 30, 30)), 8);
        EXPECT_LE(Distance(bitmap.Image().pixel(12, 4), qRgb(30, 60, 220)), 8);
    }
}

TEST_F(JPEGBitmapTest, YcckMatchesItsRgbTwin)
{
    const QImage source = TestPicture(96, 64);
    TJPEGBitmap cmyk, rgb;
    TMemoryStream ycckData(EncodeJpeg(source, {JpegOptions::AdobeYCCK})), rgbData(EncodeJpeg(source));
    cmyk.LoadFromStream(ycckData);
    rgb.LoadFromStream(rgbData);
    ASSERT_EQ(cmyk.Image().size(), rgb.Image().size());
    long total = 0;
    for (int y = 0; y < rgb.Height(); ++y)
        for (int x = 0; x < rgb.Width(); ++x)
            total += Distance(cmyk.Image().pixel(x, y), rgb.Image().pixel(x, y));
    EXPECT_LT(total / (rgb.Width() * rgb.Height()), 12);
}

TEST_F(JPEGBitmapTest, OtherComponentCountsFailWithAMessage)
{
    TJPEGBitmap bitmap;
    HoldPrevious(bitmap);
    EXPECT_EQ(LoadError(bitmap, EncodeJpeg(TestPicture(16, 16), {JpegOptions::TwoComponents})),
              "Unsupported JPEG colour format (2 components)");
    ExpectPreviousKept(bitmap);
}

TEST_F(JPEGBitmapTest, HugeClaimedSizeFailsBeforeAnyPixelIsMade)
{
    QByteArray jpeg = EncodeJpeg(TestPicture(16, 16));
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    // height and width of the frame: 30000 x 30000
    jpeg[sof + 5] = char(0x75), jpeg[sof + 6] = char(0x30), jpeg[sof + 7] = char(0x75), jpeg[sof + 8] = char(0x30);
    TJPEGBitmap bitmap;
    HoldPrevious(bitmap);
    EXPECT_EQ(LoadError(bitmap, jpeg), "Picture too large (30000 x 30000)");
    ExpectPreviousKept(bitmap);
}

// ---------------------------------------------------------------- failures

TEST_F(JPEGBitmapTest, EmptyFileFailsKeepsThePictureAndPutsThePointerBack)
{
    TempFolder folder;
    WriteAll(folder.File("EMPTY.JPG"), QByteArray());
    TJPEGBitmap bitmap;
    HoldPrevious(bitmap);
    try {
        bitmap.LoadFromFile("EMPTY.JPG");
        FAIL() << "loaded an empty file";
    } catch (const EJPEGError& e) {
        EXPECT_EQ(e.Text(), "Empty input file");
    }
    ExpectPreviousKept(bitmap);
    EXPECT_EQ(ScreenCursor(), TCursorShape::Default);
}

TEST_F(JPEGBitmapTest, TruncatedFileFailsKeepsThePictureAndPutsThePointerBack)
{
    const QByteArray whole = EncodeJpeg(TestPicture(64, 64));
    WatchedStream stream(whole.left(whole.size() / 2));
    TJPEGBitmap bitmap;
    HoldPrevious(bitmap);
    try {
        bitmap.LoadFromStream(stream);
        FAIL() << "loaded a truncated file";
    } catch (const EJPEGError& e) {
        EXPECT_EQ(e.Text(), "Premature end of JPEG file");
    }
    ExpectPreviousKept(bitmap);
    ASSERT_FALSE(stream.Shapes.empty());
    for (TCursorShape s : stream.Shapes)
        EXPECT_EQ(s, TCursorShape::HourGlass) << "the hourglass shows while decoding";
    EXPECT_EQ(ScreenCursor(), TCursorShape::Default);
}

TEST_F(JPEGBitmapTest, ThePointerShapeFoundIsTheOnePutBack)
{
    SetScreenCursor(TCursorShape::HourGlass);
    TJPEGBitmap bitmap;
    EXPECT_FALSE(LoadError(bitmap, QByteArray("not a jpeg")).isEmpty());
    EXPECT_EQ(ScreenCursor(), TCursorShape::HourGlass);
    SetScreenCursor(TCursorShape::Default);
    TMemoryStream ok(EncodeJpeg(TestPicture(8, 8)));
    bitmap.LoadFromStream(ok);
    EXPECT_EQ(ScreenCursor(), TCursorShape::Default);
}

TEST_F(JPEGBitmapTest, StrayBytesBeforeAMarkerAreRefused)
{
    const QByteArray good = EncodeJpeg(TestPicture(32, 32));
    const QByteArray bad = InsertBeforeMarker(good, 0xDB, QByteArray("\x01\x02\x03", 3));
    ASSERT_FALSE(bad.isEmpty());
    TJPEGBitmap bitmap;
    HoldPrevious(bitmap);
    EXPECT_EQ(LoadError(bitmap, bad), "Corrupt JPEG data: 3 extraneous bytes before marker 0xdb");
    ExpectPreviousKept(bitmap);
}

TEST_F(JPEGBitmapTest, AWarningAtTheVeryEndStillFailsAndKeepsThePicture)
{
    // All rows decode; the flaw is only found when the datastream is finished.
    const QByteArray good = EncodeJpeg(TestPicture(32, 32));
    // (The entropy decoder reads a few bytes ahead, so some of the junk is
    // swallowed unseen; the rest is found before the end marker.)
    QByteArray bad = good.left(good.size() - 2) + QByteArray(16, '\x11') + good.right(2);
    TJPEGBitmap bitmap;
    HoldPrevious(bitmap);
    const QString error = LoadError(bitmap, bad);
    EXPECT_TRUE(error.startsWith("Corrupt JPEG data: ")) << error.toStdString();
    EXPECT_TRUE(error.endsWith("extraneous bytes before marker 0xd9")) << error.toStdString();
    ExpectPreviousKept(bitmap);
}

TEST_F(JPEGBitmapTest, NotJpegAtAllFails)
{
    TJPEGBitmap bitmap;
    HoldPrevious(bitmap);
    EXPECT_EQ(LoadError(bitmap, QByteArray("BM this is a bitmap's start")), "Not a JPEG file: starts with 0x42 0x4d");
    ExpectPreviousKept(bitmap);
}

TEST_F(JPEGBitmapTest, AFailingStreamRaisesItsOwnErrorAndNothingLeaks)
{
    const QByteArray whole = EncodeJpeg(TestPicture(800, 600), {JpegOptions::RGB, 100});
    ASSERT_GT(whole.size(), 2 * 10240);
    WatchedStream stream(whole);
    stream.FailAfter = 1;
    TJPEGBitmap bitmap;
    HoldPrevious(bitmap);
    try {
        bitmap.LoadFromStream(stream);
        FAIL() << "loaded from a failing stream";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 5);
    }
    ExpectPreviousKept(bitmap);
    EXPECT_EQ(ScreenCursor(), TCursorShape::Default);
}

// ---------------------------------------------------------------- the stream

TEST_F(JPEGBitmapTest, ACommentLoadsLikeTheSameFileWithoutIt)
{
    const QByteArray plain = EncodeJpeg(TestPicture(40, 30));
    // A long comment crosses the 10240-byte buffer, so its bytes are fetched
    // across refills.
    const QByteArray comment = Segment(0xFE, QByteArray(25000, 'c'));
    TJPEGBitmap a, b;
    TMemoryStream sa(plain), sb(InsertAfterSoi(plain, comment));
    a.LoadFromStream(sa);
    b.LoadFromStream(sb);
    EXPECT_EQ(a.Image(), b.Image());
}

TEST_F(JPEGBitmapTest, LongApplicationSegmentsAreSkippedAcrossBufferRefills)
{
    const QByteArray plain = EncodeJpeg(TestPicture(40, 30));
    QByteArray app(30000, 'x');
    const QByteArray withApp = InsertAfterSoi(plain, Segment(0xE5, app) + Segment(0xE6, QByteArray(10237, 'y')));
    TJPEGBitmap a, b;
    TMemoryStream sa(plain), sb(withApp);
    a.LoadFromStream(sa);
    b.LoadFromStream(sb);
    EXPECT_EQ(a.Image(), b.Image());
}

TEST_F(JPEGBitmapTest, ReadsInBlocksAndStopsAtMostOneBlockPastTheData)
{
    const QByteArray jpeg = EncodeJpeg(TestPicture(200, 150), {JpegOptions::RGB, 100});
    const QByteArray tail(50000, 'z');
    TMemoryStream stream(jpeg + tail);
    TJPEGBitmap bitmap;
    bitmap.LoadFromStream(stream);
    EXPECT_EQ(bitmap.Width(), 200);
    EXPECT_GE(stream.Position(), jpeg.size());
    EXPECT_LE(stream.Position(), jpeg.size() + std::int64_t(JPEGBufferSize));
    EXPECT_EQ(stream.Position() % std::int64_t(JPEGBufferSize), 0) << "whole blocks are read";
}

TEST_F(JPEGBitmapTest, DecodesFromAByteRangeOfALargerBuffer)
{
    // As the player does: the picture lies somewhere inside its own file.
    const QByteArray jpeg = EncodeJpeg(TestPicture(33, 21));
    const QByteArray file = QByteArray(1234, '\x55') + jpeg + QByteArray(777, '\x66');
    TJPEGBitmap direct, ranged;
    TMemoryStream a(jpeg);
    direct.LoadFromStream(a);
    ranged.LoadFromMemory(file.constData() + 1234, std::size_t(jpeg.size()));
    EXPECT_EQ(direct.Image(), ranged.Image());
    TMemoryStream whole(file.constData(), std::size_t(file.size()));
    whole.Seek(1234, SEEK_SET);
    TJPEGBitmap seeked;
    seeked.LoadFromStream(whole);
    EXPECT_EQ(direct.Image(), seeked.Image());
}

TEST_F(JPEGBitmapTest, LoadFromFileResolvesTheNameAndClosesTheFile)
{
    TempFolder folder;
    WriteAll(folder.File("sunset.jpg"), EncodeJpeg(TestPicture(12, 10)));
    TJPEGBitmap bitmap;
    bitmap.LoadFromFile("SUNSET.JPG");
    EXPECT_EQ(bitmap.Image().size(), QSize(12, 10));
    EXPECT_TRUE(DeleteFile("sunset.jpg"));
}

// ---------------------------------------------------------------- saving

TEST_F(JPEGBitmapTest, SaveAndLoadAgainGivesThePictureBack)
{
    const QImage source = TestPicture(61, 47);
    TJPEGBitmap bitmap;
    bitmap.SetImage(source);
    TMemoryStream out;
    bitmap.SaveToStream(out);
    const QByteArray bytes = out.Bytes();
    ASSERT_TRUE(bytes.startsWith("\xFF\xD8"));
    ASSERT_TRUE(bytes.endsWith("\xFF\xD9"));

    TJPEGBitmap again;
    TMemoryStream in(bytes);
    again.LoadFromStream(in);
    ASSERT_EQ(again.Image().size(), source.size());
    int worst = 0;
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            worst = std::max(worst, Distance(again.Image().pixel(x, y), source.pixel(x, y)));
    EXPECT_LE(worst, 16);
}

TEST_F(JPEGBitmapTest, SaveWritesBaselineQuality85WithOptimisedTables)
{
    TJPEGBitmap bitmap;
    bitmap.SetImage(TestPicture(64, 48));
    TMemoryStream out;
    bitmap.SaveToStream(out);
    const QByteArray bytes = out.Bytes();
    EXPECT_FALSE(FirstSegment(bytes, 0xC0).isEmpty()) << "baseline frame";
    EXPECT_TRUE(FirstSegment(bytes, 0xC2).isEmpty()) << "not progressive";
    const QByteArray sof = FirstSegment(bytes, 0xC0);
    EXPECT_EQ(sof[0], 8);   // precision
    EXPECT_EQ(sof[5], 3);   // three components (YCbCr)
    // Quality 85 scales the standard luminance table by 30%: 16 -> 5, 11 -> 3.
    const QByteArray dqt = FirstSegment(bytes, 0xDB);
    ASSERT_GE(dqt.size(), 65);
    EXPECT_EQ(dqt[0], 0);   // 8-bit table 0
    EXPECT_EQ(int(uchar(dqt[1])), 5);
    EXPECT_EQ(int(uchar(dqt[2])), 3);
    // Tables fitted to the picture are shorter than the standard ones.
    const QByteArray dht = FirstSegment(bytes, 0xC4);
    EXPECT_FALSE(dht.isEmpty());
    EXPECT_LT(bytes.size(), EncodeJpeg(TestPicture(64, 48), {JpegOptions::RGB, 85}).size());
}

TEST_F(JPEGBitmapTest, AShortWriteEndsTheSaveWithTheDiskFullMessage)
{
    class FullStream : public TMemoryStream {
    public:
        std::size_t Write(const void* buffer, std::size_t n) override
        {
            return TMemoryStream::Write(buffer, std::min<std::size_t>(n, 100));
        }
    } full;
    TJPEGBitmap bitmap;
    bitmap.SetImage(TestPicture(20, 20));
    try {
        bitmap.SaveToStream(full);
        FAIL() << "a short write was taken for success";
    } catch (const EJPEGError& e) {
        EXPECT_EQ(e.Text(), "Output file write error --- out of disk space?");
    }
}

TEST_F(JPEGBitmapTest, SavingAnEmptyBitmapFails)
{
    TJPEGBitmap bitmap;
    TMemoryStream out;
    EXPECT_THROW(bitmap.SaveToStream(out), EJPEGError);
}

// ---------------------------------------------------------------- registry

TEST_F(JPEGBitmapTest, RegistryTakesJpegAndJpgInAnyCase)
{
    for (const char* name : {"A.JPEG", "b.Jpg", "c.jpg", "D.JPG", "e.jpeg"}) {
        std::unique_ptr<TGraphic> g = NewGraphicForFile(name);
        EXPECT_NE(dynamic_cast<TJPEGBitmap*>(g.get()), nullptr) << name;
    }
    ASSERT_NE(FindFileFormat("jpg"), nullptr);
    EXPECT_EQ(FindFileFormat("JPG")->Description, "JPG");
    EXPECT_EQ(FindFileFormat("jpeg")->Description, "JPEG");
    std::unique_ptr<TGraphic> bmp = NewGraphicForFile("x.BMP");
    EXPECT_NE(dynamic_cast<TBitmap*>(bmp.get()), nullptr);
    EXPECT_EQ(dynamic_cast<TJPEGBitmap*>(bmp.get()), nullptr);
}

TEST_F(JPEGBitmapTest, UnknownExtensionFailsWithItsLowerCaseName)
{
    try {
        NewGraphicForFile("SUNSET.GIF");
        FAIL();
    } catch (const EGlimmerError& e) {
        EXPECT_EQ(e.Text(), "Unknown picture file extension (.gif)");
    }
}

TEST_F(JPEGBitmapTest, PictureLoadsByExtensionAndKeepsItsGraphicOnFailure)
{
    TempFolder folder;
    WriteAll(folder.File("GOOD.Jpg"), EncodeJpeg(TestPicture(9, 6)));
    WriteAll(folder.File("BAD.JPEG"), QByteArray("\xFF\xD8\xFF", 3));
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&] { ++changes; };
    picture.LoadFromFile("GOOD.Jpg");
    ASSERT_NE(dynamic_cast<TJPEGBitmap*>(picture.Graphic()), nullptr);
    EXPECT_EQ(picture.Width(), 9);
    EXPECT_EQ(changes, 1);
    const TGraphic* before = picture.Graphic();
    EXPECT_THROW(picture.LoadFromFile("BAD.JPEG"), EJPEGError);
    EXPECT_THROW(picture.LoadFromFile("GOOD.GIF"), EGlimmerError);
    EXPECT_EQ(picture.Graphic(), before);
    EXPECT_EQ(picture.Width(), 9);
    EXPECT_EQ(changes, 1);
}

TEST_F(JPEGBitmapTest, PictureLoadsANamedMemoryBuffer)
{
    const QByteArray jpeg = EncodeJpeg(TestPicture(14, 4));
    TPicture picture;
    picture.LoadFromMemory("SLIDE1.JPG", jpeg.constData(), std::size_t(jpeg.size()));
    EXPECT_NE(dynamic_cast<TJPEGBitmap*>(picture.Graphic()), nullptr);
    EXPECT_EQ(picture.Width(), 14);
}
