// A picture as the show and the view take it: halved until it fits the
// area's rule, turned upright by its EXIF orientation, decoded at the scale
// it is shown at.
#include "BitmapWriter.h"
#include "JpegFiles.h"
#include "Pixels.h"
#include "decode/Exif.h"
#include "decode/Picture.h"
#include "decode/PictureCheck.h"

#include <QImage>
#include <QTransform>
#include <gtest/gtest.h>

namespace {

// A picture that looks different from every side and in every mirror.
QImage Asymmetric(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / (w - 1), y * 255 / (h - 1), (x < w / 3 && y < h / 4) ? 255 : 0));
    return image;
}

// The EXIF meaning of each orientation, by Qt's own transforms.
QImage Upright(const QImage& stored, int orientation)
{
    const QImage mirrored = stored.mirrored(true, false);
    switch (orientation) {
    case 2: return mirrored;
    case 3: return stored.transformed(QTransform().rotate(180));
    case 4: return stored.mirrored(false, true);
    case 5: return mirrored.transformed(QTransform().rotate(270));
    case 6: return stored.transformed(QTransform().rotate(90));
    case 7: return mirrored.transformed(QTransform().rotate(90));
    case 8: return stored.transformed(QTransform().rotate(270));
    default: return stored;
    }
}

QByteArray ExifApp1(int orientation)
{
    QByteArray tiff("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18);
    tiff.append(char(orientation)).append(QByteArray(7, '\0'));
    return Segment(0xE1, QByteArray("Exif\0\0", 6) + tiff);
}

} // namespace

TEST(Fit, HalvedUntilTheShowsTestNoLongerHolds)
{
    const int W = 1920, H = 1080;
    EXPECT_EQ(halvingsToFit(W, H, W, H, FitRule::LargerThan), 0) << "exactly the screen's size";
    EXPECT_EQ(halvingsToFit(W + 1, H, W, H, FitRule::LargerThan), 1);
    EXPECT_EQ(halvingsToFit(4000, 3000, W, H, FitRule::LargerThan), 2);
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        // After k halvings exactly the screen's size; one pixel wider (after
        // the halvings) takes one more.
        EXPECT_EQ(halvingsToFit(W << k, H << k, W, H, FitRule::LargerThan), k);
        EXPECT_EQ(halvingsToFit((W + 1) << k, 10, W, H, FitRule::LargerThan), k + 1);
        EXPECT_EQ(halvingsToFit(10, (H + 1) << k, W, H, FitRule::LargerThan), k + 1);
    }
}

TEST(Fit, HalvedUntilTheViewsTestNoLongerHolds)
{
    const int W = 1024, H = 768;
    EXPECT_EQ(halvingsToFit(W - 1, H - 1, W, H, FitRule::AtLeastAsLarge), 0);
    EXPECT_EQ(halvingsToFit(W, 10, W, H, FitRule::AtLeastAsLarge), 1) << "as wide as the screen";
    EXPECT_EQ(halvingsToFit(3000, 2000, W, H, FitRule::AtLeastAsLarge), 2);
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(halvingsToFit((W - 1) << k, 10, W, H, FitRule::AtLeastAsLarge), k);
        EXPECT_EQ(halvingsToFit(W << k, 10, W, H, FitRule::AtLeastAsLarge), k) << "equal after the halvings fits";
        EXPECT_EQ(halvingsToFit(10, H << k, W, H, FitRule::AtLeastAsLarge), k);
        EXPECT_EQ(halvingsToFit((W + 1) << k, 10, W, H, FitRule::AtLeastAsLarge), k + 1);
    }
    // An area with no room stops once nothing is left, never for ever.
    EXPECT_LE(halvingsToFit(5000, 5000, 0, 0, FitRule::AtLeastAsLarge), 31);
}

TEST(Orientation, EachOfTheEightTurnsThePictureUpright)
{
    const QImage stored = Asymmetric(7, 4);
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        EXPECT_EQ(ToImage(orientUpright(FromImage(stored), o, DecodeControl())), Upright(stored, o));
    }
    EXPECT_EQ(ToImage(orientUpright(FromImage(stored), 0, DecodeControl())), stored) << "no such orientation";
}

TEST(Orientation, APhotoIsDecodedUprightAtEveryScale)
{
    // A JPEG as a phone writes it: stored on its side with EXIF 6 (or any
    // other). Upright at full size and halved: the same as the plain decode
    // at that scale, turned.
    const QImage stored = Asymmetric(96, 64);
    const QByteArray plain = EncodeJpeg(stored, {JpegOptions::RGB, 95});
    for (int o = 1; o <= 8; ++o)
        for (int k : {0, 1, 4}) {
            SCOPED_TRACE(testing::Message() << "orientation " << o << ", halvings " << k);
            const QByteArray tagged = InsertAfterSoi(plain, ExifApp1(o));
            MemorySource bare(plain.constData(), std::size_t(plain.size()));
            const QImage turned = Upright(ToImage(decodePicture(bare, PictureFormat::Jpeg, k, DecodeControl())), o);
            MemorySource source(tagged.constData(), std::size_t(tagged.size()));
            EXPECT_EQ(ToImage(decodePicture(source, PictureFormat::Jpeg, k, DecodeControl())), turned);
        }
}

TEST(Orientation, SizesAndHalvingsUseTheUprightSize)
{
    // 4000 x 3000 stored, standing upright 3000 x 4000: on 1920 x 1080 it is
    // halved until 4000 fits into 1080, to 750 x 1000 at 1/4.
    const QByteArray jpeg = InsertAfterSoi(EncodeJpeg(Asymmetric(4000, 3000), {JpegOptions::RGB, 60}), ExifApp1(6));
    MemorySource source(jpeg.constData(), std::size_t(jpeg.size()));
    const PictureInfo info = readPictureInfo(source, PictureFormat::Jpeg);
    EXPECT_EQ(info.orientation, 6);
    EXPECT_EQ(info.uprightWidth(), 3000);
    EXPECT_EQ(info.uprightHeight(), 4000);
    const FittedPicture fitted = decodeToFit(source, PictureFormat::Jpeg, 1920, 1080, FitRule::LargerThan, DecodeControl());
    EXPECT_EQ(fitted.halvings, 2);
    EXPECT_EQ(fitted.shownWidth(), 750);
    EXPECT_EQ(fitted.shownHeight(), 1000);
    EXPECT_EQ(fitted.pixels.width(), 750);
    EXPECT_EQ(fitted.pixels.height(), 1000);
}

TEST(Orientation, BitmapsHaveNoneAndAreHalvedAsTheyAre)
{
    BitmapSpec s;
    const QByteArray bmp = WriteBitmap(s, 3001, 999, [](int x, int y) { return std::uint32_t((x + y) & 0xFF); });
    MemorySource source(bmp.constData(), std::size_t(bmp.size()));
    const FittedPicture fitted = decodeToFit(source, PictureFormat::Bitmap, 1024, 768, FitRule::AtLeastAsLarge, DecodeControl());
    EXPECT_EQ(fitted.info.orientation, 1);
    EXPECT_EQ(fitted.halvings, 2);
    EXPECT_EQ(fitted.shownWidth(), 750);    // 3001 div 4
    EXPECT_EQ(fitted.shownHeight(), 249);
    EXPECT_EQ(fitted.pixels.width(), 751);  // the edge pixel is kept, drawn into 750
    EXPECT_EQ(fitted.pixels.height(), 250);
}

// A picture's first bytes decide how it is decoded, whatever its name; the
// name only picks which decoder names the fault of a picture that is neither.
TEST(PictureFormat, TheFirstBytesDecideAndTheNameNamesTheFault)
{
    using F = PictureFormat;
    const QByteArray jpeg = EncodeJpeg(Asymmetric(40, 30)), bmp = BlankBitmap(20, 10, qRgb(0, 0, 255)), gif = "GIF89a";
    const std::tuple<QByteArray, F, F, std::string> rows[] = {{jpeg, F::Bitmap, F::Jpeg, "40"},
                                                              {bmp, F::Jpeg, F::Bitmap, "20"},
                                                              {gif, F::Jpeg, F::Jpeg, "Not a JPEG file: starts with 0x47 0x49"},
                                                              {gif, F::Bitmap, F::Bitmap, "Bitmap image is not valid"}};
    for (const auto& [bytes, byName, format, shown] : rows) {
        MemorySource source(bytes.constData(), std::size_t(bytes.size()));
        EXPECT_EQ(pictureFormatOf(source, byName), format);
        try {
            EXPECT_EQ(std::to_string(decodeToFit(source, byName, 1024, 768, FitRule::LargerThan, {}).shownWidth()), shown);
        } catch (const DecodeError& e) {
            EXPECT_EQ(e.what(), shown);
        }
    }
}

// At the door a JPEG or bitmap is judged from its headers and a JPEG's data
// walked to its end marker, and a fault is told in plain words.
TEST(PictureCheck, AFaultIsFoundWithoutADecodeAndToldPlainly)
{
    using K = PictureKind;
    const QByteArray jpeg = EncodeJpeg(Asymmetric(64, 48)), bmp = WriteBitmap({}, 20, 10, [](int x, int) { return x; });
    const QByteArray progressive = EncodeJpeg(Asymmetric(64, 48), {JpegOptions::RGB, 90, true});
    const std::tuple<QByteArray, K, std::string> rows[] = {
        {jpeg, K::Jpeg, ""},
        {jpeg + "trailing bytes", K::Jpeg, ""},
        {jpeg.left(jpeg.size() - 2), K::Jpeg, "it is cut short"},
        {progressive.left(progressive.size() * 2 / 3), K::Jpeg, "it is cut short"},
        {EncodeJpeg(Asymmetric(8, 8), {JpegOptions::TwoComponents}), K::Jpeg, "it is stored in a form that cannot be read"},
        {QByteArray("\xFF\xD8\xFF\xE0\x00\x02\xFF\xD9", 8), K::Jpeg, "it holds no picture"},
        {InsertBeforeMarker(jpeg, 0xDB, "junk"), K::Jpeg, "it is damaged"},
        {bmp, K::Bitmap, ""},
        {bmp.left(bmp.size() - 1), K::Bitmap, "it is cut short"},
        {"GIF89a", K::Other, ""},
    };
    for (const auto& [bytes, kind, reason] : rows) {
        MemorySource source(bytes.constData(), std::size_t(bytes.size()));
        EXPECT_EQ(pictureKindOf(source), kind) << reason;
        if (kind == K::Other)
            continue;
        try {
            checkPicture(source, kind);
            EXPECT_EQ(reason, "");
        } catch (const DecodeError& e) {
            EXPECT_EQ(plainReason(e.fault()), reason) << e.what();
        }
    }
}

TEST(Exif, OnlyAWellFormedTagCounts)
{
    auto block = [](const QByteArray& tiff) { return QByteArray("Exif\0\0", 6) + tiff; };
    auto orientation = [](const QByteArray& b) {
        return exifOrientation(reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size()));
    };
    const QByteArray good = block(QByteArray("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26));
    EXPECT_EQ(orientation(good), 6);
    EXPECT_EQ(exifOrientation(nullptr, 0), 1);
    EXPECT_EQ(orientation(QByteArray("Exif\0\0", 6)), 1);
    QByteArray b = good;
    b[6] = 'X';   // neither byte order
    EXPECT_EQ(orientation(b), 1);
    b = good;
    b[9] = 43;    // not TIFF
    EXPECT_EQ(orientation(b), 1);
    b = good;
    b[13] = char(0x7F);   // IFD0 far past the end
    EXPECT_EQ(orientation(b), 1);
    b = good;
    b[15] = 9;    // nine entries, one there: still read
    EXPECT_EQ(orientation(b), 6);
    b[17] = 0x10;   // and not the tag: the search runs off the end
    EXPECT_EQ(orientation(b), 1);
    b = good;
    b[23] = 0;    // a count of 0
    EXPECT_EQ(orientation(b), 1);
    b = good;
    b[19] = 2;    // text, not a number
    EXPECT_EQ(orientation(b), 1);
    for (int cut = 0; cut < good.size(); ++cut)
        EXPECT_GE(orientation(good.left(cut)), 1);
}
