// The picture control: where the picture lands for each scale style, what
// is drawn (frame, colour key, nothing outside the picture), the control's
// own size and opaque mark, when it repaints, and the scaled result it keeps.
#include "TestSupport.h"
#include "controls/EnhImage.h"
#include "picture/JPEGBitmap.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const QRgb Ground = qRgb(255, 0, 255);   // the parent's background

QImage Solid(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

std::unique_ptr<TBitmap> BitmapOf(const QImage& image)
{
    auto b = std::make_unique<TBitmap>();
    b->SetImage(image);
    return b;
}

// A parent window with a plain background carrying one control.
struct Stage {
    QWidget parent;
    TEnhImage* image;
    Stage(int w = 1100, int h = 800)
    {
        parent.resize(w, h);
        parent.setAutoFillBackground(true);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor(Ground));
        parent.setPalette(pal);
        image = new TEnhImage(&parent);
        image->move(0, 0);
    }
    // The control's pixels as the screen would show them.
    QImage Shot() { return image->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QImage ParentShot() { return parent.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// Counts the control's paints.
class CountingImage : public TEnhImage {
public:
    using TEnhImage::TEnhImage;
    int Paints = 0;

protected:
    void paintEvent(QPaintEvent* e) override
    {
        ++Paints;
        TEnhImage::paintEvent(e);
    }
};

// A graphic that is not a bitmap: a filled rectangle of a set size.
class BoxGraphic : public TGraphic {
public:
    int Width() const override { return 20; }
    int Height() const override { return 10; }
    void Draw(QPainter& p, const QRect& dest) const override { p.fillRect(dest, Qt::darkGreen); }
    std::unique_ptr<TGraphic> NewOfSameClass() const override { return std::make_unique<BoxGraphic>(); }
    void Assign(const TGraphic&) override {}
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream&) const override {}
};

void Settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

} // namespace

// ---------------------------------------------------------------- geometry

TEST(EnhImageGeometry, ScaleShrinksToTheAreaButNeverEnlargesWithoutOverSize)
{
    EXPECT_EQ(TEnhImage::ComputeDestRect(1024, 768, 800, 600, ssScale, false, false, false), QRect(0, 0, 800, 600));
    EXPECT_EQ(TEnhImage::ComputeDestRect(640, 480, 1000, 700, ssScale, true, false, false), QRect(0, 0, 933, 700));
    EXPECT_EQ(TEnhImage::ComputeDestRect(640, 480, 1000, 700, ssScale, false, false, false), QRect(0, 0, 640, 480));
}

TEST(EnhImageGeometry, ScaleWorksInSinglePrecision)
{
    // 7 / 10 as a 32-bit float lies just below 0.7: 6 x 6, not 7 x 7.
    EXPECT_EQ(TEnhImage::ComputeDestRect(10, 10, 7, 100, ssScale, false, false, false), QRect(0, 0, 6, 6));
}

TEST(EnhImageGeometry, BorderShrinksTheAreaAndShiftsThePicture)
{
    EXPECT_EQ(TEnhImage::ComputeDestRect(1280, 1024, 1024, 768, ssScale, false, false, true), QRect(1, 1, 957, 766));
    EXPECT_EQ(TEnhImage::ComputeDestRect(30, 20, 100, 50, ssStretchXY, false, false, true), QRect(1, 1, 98, 48));
    EXPECT_EQ(TEnhImage::ComputeDestRect(30, 20, 100, 50, ssStretchX, false, false, true), QRect(1, 1, 98, 20));
    EXPECT_EQ(TEnhImage::ComputeDestRect(30, 20, 100, 50, ssStretchY, false, false, true), QRect(1, 1, 30, 48));
    EXPECT_EQ(TEnhImage::ComputeDestRect(30, 20, 100, 50, ssNormal, false, false, true), QRect(1, 1, 30, 20));
}

TEST(EnhImageGeometry, CentringALargerPictureGivesNegativeOffsets)
{
    EXPECT_EQ(TEnhImage::ComputeDestRect(300, 200, 105, 105, ssNormal, false, true, false), QRect(-97, -47, 300, 200));
    EXPECT_EQ(TEnhImage::ComputeDestRect(10, 10, 105, 105, ssNormal, false, true, true), QRect(47, 47, 10, 10));
}

TEST(EnhImageGeometry, NoPictureNoRectangle)
{
    EXPECT_TRUE(TEnhImage::ComputeDestRect(0, 10, 105, 105, ssNormal, false, false, false).isEmpty());
    EXPECT_TRUE(TEnhImage::ComputeDestRect(10, 0, 105, 105, ssStretchXY, false, false, false).isEmpty());
}

// ---------------------------------------------------------------- drawing

TEST(EnhImageDrawing, ScaledPictureCoversOnlyItsRectangle)
{
    Stage s;
    s.image->resize(7, 100);
    s.image->SetScaleStyle(ssScale);
    const auto b = BitmapOf(Solid(10, 10, qRgb(0, 0, 200)));
    s.image->SetPicture(b.get());
    const QImage shot = s.Shot();
    EXPECT_EQ(shot.pixel(5, 5), qRgb(0, 0, 200));
    EXPECT_EQ(shot.pixel(6, 0), Ground);
    EXPECT_EQ(shot.pixel(0, 6), Ground);
}

TEST(EnhImageDrawing, BorderFramesTheControlAndThePictureStartsInside)
{
    Stage s;
    s.image->resize(1024, 768);
    s.image->SetScaleStyle(ssScale);
    s.image->SetBorder(true);
    const auto b = BitmapOf(Solid(1280, 1024, qRgb(0, 180, 0)));
    s.image->SetPicture(b.get());
    const QImage shot = s.Shot();
    const QRgb black = qRgb(0, 0, 0);
    EXPECT_EQ(shot.pixel(0, 0), black);
    EXPECT_EQ(shot.pixel(1023, 767), black);
    EXPECT_EQ(shot.pixel(500, 767), black);
    EXPECT_EQ(shot.pixel(1023, 300), black);
    EXPECT_EQ(shot.pixel(1, 1), qRgb(0, 180, 0));
    EXPECT_EQ(shot.pixel(957, 766), qRgb(0, 180, 0));
    EXPECT_EQ(shot.pixel(958, 300), Ground);
}

TEST(EnhImageDrawing, CentringShowsTheMiddleOfALargePicture)
{
    Stage s;
    QImage picture = Solid(300, 200, qRgb(100, 100, 100));
    picture.setPixel(97, 47, qRgb(255, 255, 0));    // lands on the control's (0, 0)
    picture.setPixel(201, 151, qRgb(0, 255, 255));  // lands on (104, 104)
    const auto b = BitmapOf(picture);
    s.image->SetCenter(true);
    s.image->SetPicture(b.get());
    ASSERT_EQ(s.image->size(), QSize(105, 105));
    const QImage shot = s.Shot();
    EXPECT_EQ(shot.pixel(0, 0), qRgb(255, 255, 0));
    EXPECT_EQ(shot.pixel(104, 104), qRgb(0, 255, 255));
}

TEST(EnhImageDrawing, TransparentPaintsTheKeyColourInButtonFace)
{
    Stage s;
    QImage picture = Solid(6, 4, qRgb(255, 255, 255));   // bottom-left white: the key
    picture.setPixel(2, 1, qRgb(200, 0, 0));
    picture.setPixel(5, 0, qRgb(0, 0, 200));
    const auto b = BitmapOf(picture);
    s.image->SetTransparent(true);
    s.image->SetPicture(b.get());
    const QImage shot = s.Shot();
    const QRgb face = ButtonFaceColor().rgb();
    ASSERT_NE(face, qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(0, 3), face);
    EXPECT_EQ(shot.pixel(4, 2), face);
    EXPECT_EQ(shot.pixel(2, 1), qRgb(200, 0, 0));
    EXPECT_EQ(shot.pixel(5, 0), qRgb(0, 0, 200));
    EXPECT_EQ(shot.pixel(6, 0), Ground);
}

TEST(EnhImageDrawing, TransparentKeysTheStretchedPicture)
{
    Stage s;
    s.image->resize(30, 20);
    QImage picture = Solid(3, 2, qRgb(0, 0, 0));   // black key
    picture.setPixel(1, 0, qRgb(0, 200, 0));
    const auto b = BitmapOf(picture);
    s.image->SetScaleStyle(ssStretchXY);
    s.image->SetTransparent(true);
    s.image->SetPicture(b.get());
    const QImage shot = s.Shot();
    EXPECT_EQ(shot.pixel(15, 4), qRgb(0, 200, 0));
    EXPECT_EQ(shot.pixel(2, 15), ButtonFaceColor().rgb());
    EXPECT_EQ(shot.pixel(29, 19), ButtonFaceColor().rgb());
}

TEST(EnhImageDrawing, BorderWithoutAPictureDrawsOnlyTheFrame)
{
    Stage s;
    s.image->SetBorder(true);
    const QImage shot = s.Shot();
    EXPECT_EQ(shot.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(104, 50), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(50, 104), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(1, 1), Ground);
    EXPECT_EQ(shot.pixel(50, 50), Ground);
}

TEST(EnhImageDrawing, AGraphicThatIsNoBitmapDrawsItself)
{
    Stage s;
    BoxGraphic box;
    s.image->SetScaleStyle(ssStretchXY);
    s.image->SetPicture(&box);
    const QImage shot = s.Shot();
    EXPECT_EQ(shot.pixel(100, 100), QColor(Qt::darkGreen).rgb());
}

// ---------------------------------------------------------------- size and mark

TEST(EnhImageSize, AutoSizeWithBorderTakesThePictureSizePlusTwo)
{
    Stage s;
    s.image->move(40, 30);
    s.image->SetBorder(true);
    const auto b = BitmapOf(Solid(200, 100, qRgb(1, 1, 1)));
    s.image->SetPicture(b.get());
    EXPECT_EQ(s.image->size(), QSize(105, 105)) << "AutoSize is off by default";
    EXPECT_FALSE(s.image->IsOpaque());
    s.image->SetAutoSize(true);
    EXPECT_EQ(s.image->geometry(), QRect(40, 30, 202, 102));
    EXPECT_TRUE(s.image->IsOpaque());
    s.image->SetBorder(false);
    EXPECT_EQ(s.image->size(), QSize(200, 100));
}

TEST(EnhImageSize, AutoSizeWithoutAPictureKeepsTheSize)
{
    Stage s;
    s.image->resize(50, 60);
    s.image->SetAutoSize(true);
    EXPECT_EQ(s.image->size(), QSize(50, 60));
    EXPECT_FALSE(s.image->IsOpaque());
}

TEST(EnhImageSize, OpaqueOnlyForABitmapWithAutoSizeOrWhenForced)
{
    Stage s;
    BoxGraphic box;
    s.image->SetAutoSize(true);
    s.image->SetPicture(&box);
    EXPECT_EQ(s.image->size(), QSize(20, 10));
    EXPECT_FALSE(s.image->IsOpaque());
    s.image->SetForceOpaque(true);
    EXPECT_TRUE(s.image->IsOpaque());
    s.image->SetForceOpaque(false);
    TJPEGBitmap jpeg;
    jpeg.SetImage(Solid(30, 40, qRgb(2, 2, 2)));
    s.image->SetPicture(&jpeg);
    EXPECT_TRUE(s.image->IsOpaque()) << "a JPEG bitmap is a bitmap";
    s.image->SetAutoSize(false);
    EXPECT_FALSE(s.image->IsOpaque());
}

TEST(EnhImageSize, ThePictureIsCopiedOfTheSameClassWithSharedPixels)
{
    TEnhImage image;
    auto jpeg = std::make_unique<TJPEGBitmap>();
    jpeg->SetImage(Solid(30, 40, qRgb(2, 2, 2)));
    image.SetPicture(jpeg.get());
    ASSERT_NE(dynamic_cast<TJPEGBitmap*>(image.Picture().Graphic()), nullptr);
    EXPECT_NE(image.Picture().Graphic(), jpeg.get());
    EXPECT_EQ(image.Picture().Bitmap()->Image().constBits(), jpeg->Image().constBits());
    jpeg.reset();
    EXPECT_EQ(image.Picture().Width(), 30);
}

// ---------------------------------------------------------------- repainting

TEST(EnhImageRepaint, AutoSizeAlwaysRepaintsOtherSettingsOnlyWhenChanged)
{
    QWidget parent;
    parent.resize(300, 300);
    auto* image = new CountingImage(&parent);
    parent.show();
    Settle();
    image->Paints = 0;
    image->SetAutoSize(false);   // same value
    Settle();
    EXPECT_GE(image->Paints, 1);
    image->Paints = 0;
    image->SetCenter(false);     // same value
    image->SetBorder(false);
    image->SetScaleStyle(ssNormal);
    image->SetTransparent(false);
    image->SetOverSize(false);
    image->SetForceOpaque(false);
    Settle();
    EXPECT_EQ(image->Paints, 0);
    image->SetCenter(true);
    Settle();
    EXPECT_GE(image->Paints, 1);
}

TEST(EnhImageRepaint, TheScaledPictureIsMadeOnceForEachSize)
{
    QWidget parent;
    parent.resize(600, 600);
    auto* image = new TEnhImage(&parent);
    image->resize(200, 150);
    image->SetScaleStyle(ssStretchXY);
    const auto b = BitmapOf(Solid(640, 480, qRgb(10, 20, 30)));
    image->SetPicture(b.get());
    parent.show();
    Settle();
    EXPECT_EQ(image->RenderCount(), 1);
    for (int i = 0; i < 10; ++i) {
        image->move(i * 7, i * 5);
        image->repaint();
    }
    EXPECT_EQ(image->RenderCount(), 1) << "moving and repainting reuse the scaled picture";
    image->resize(100, 75);
    image->repaint();
    EXPECT_EQ(image->RenderCount(), 2);
    const auto other = BitmapOf(Solid(64, 48, qRgb(200, 20, 30)));
    image->SetPicture(other.get());
    image->repaint();
    EXPECT_EQ(image->RenderCount(), 3);
    EXPECT_EQ(image->grab().toImage().pixel(50, 30), qRgb(200, 20, 30));
}

TEST(EnhImageRepaint, APictureAtItsOwnSizeIsNeverScaled)
{
    QWidget parent;
    parent.resize(300, 300);
    auto* image = new TEnhImage(&parent);
    image->SetAutoSize(true);
    const auto b = BitmapOf(Solid(64, 48, qRgb(10, 20, 30)));
    image->SetPicture(b.get());
    parent.show();
    Settle();
    image->repaint();
    EXPECT_EQ(image->RenderCount(), 0);
}

// ---------------------------------------------------------------- mouse

TEST(EnhImageMouse, APressIsReportedWithButtonAndPlace)
{
    TEnhImage image;
    QVector<std::tuple<Qt::MouseButton, int, int>> presses;
    QObject::connect(&image, &TEnhImage::MouseDown,
                     [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) { presses.push_back({b, x, y}); });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(12, 34), QPointF(12, 34), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&image, &press);
    ASSERT_EQ(presses.size(), 1);
    EXPECT_EQ(presses[0], std::make_tuple(Qt::RightButton, 12, 34));
    EXPECT_EQ(image.focusPolicy(), Qt::NoFocus);
}
