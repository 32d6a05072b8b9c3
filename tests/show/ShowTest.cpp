#include "BitmapWriter.h"
#include "JpegBombs.h"
#include "JpegFiles.h"
#include "TestSupport.h"
#include "controls/EnhImage.h"
#include "picture/JPEGBitmap.h"
#include "project/Project.h"
#include "show/PictureSource.h"
#include "show/PictureView.h"
#include "show/ShowWindow.h"
#include "toolkit/Cursor.h"
#include "toolkit/Files.h"
#include "toolkit/Help.h"

#include <QApplication>
#include <QMap>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// Pictures of given sizes, kept in memory as bitmap files of a few bytes
// each; counts every load.
class SizedPictures : public TPictureSource {
public:
    QMap<QString, QSize> Sizes;
    QMap<QString, QByteArray> Files;   // whole files, for other kinds
    QSet<QString> Broken;
    int Loads = 0;
    bool Exists(const QString& name) override { return Sizes.contains(name) || Files.contains(name); }
    std::unique_ptr<TStream> Open(const QString& name) override
    {
        ++Loads;
        if (Files.contains(name))
            return std::make_unique<TMemoryStream>(Files[name]);
        if (Broken.contains(name))
            return std::make_unique<TMemoryStream>(QByteArray("BM, but nothing more"));
        return std::make_unique<TMemoryStream>(BlankBitmap(Sizes[name].width(), Sizes[name].height(), qRgb(255, 0, 0)));
    }
};

SaverSettings settingsFor(int count, bool floatMode)
{
    SaverSettings s = newProjectSettings();
    s.DisplayMode = floatMode ? 1 : 0;
    s.ImageCount = count;
    for (int k = 1; k <= count; ++k)
        setSlotName(s.Slot(k), QString("P%1.BMP").arg(k));
    return s;
}

// A show laid out on a 1024 x 768 screen, not shown, each picture decoded
// where it is due: the tests step it.
struct Show {
    Show(const SaverSettings& s, SizedPictures& pics, QSize screen = QSize(1024, 768))
        : form(s, pics, {}, DecodeWorker::Mode::Inline)
    {
        form.Panel1->setGeometry(QRect(QPoint(0, 0), screen));
    }
    TSMViewForm form;
    QPoint pos() const { return form.PictureRect().topLeft(); }
};

// A JPEG of the picture, by the program's own encoder, with an EXIF block
// giving its orientation.
QByteArray OrientedJpeg(const QImage& stored, int orientation)
{
    TJPEGBitmap jpeg;
    jpeg.SetImage(stored);
    TMemoryStream out;
    jpeg.SaveToStream(out);
    QByteArray tiff("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 19);
    tiff.append(char(orientation)).append(QByteArray(6, '\0'));
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char((exif.size() + 2) >> 8)).append(char((exif.size() + 2) & 0xFF));
    return out.Bytes().left(2) + app1 + exif + out.Bytes().mid(2);
}

// Stored 400 x 300, a red corner at its top left: a phone's portrait photo.
QImage StoredOnItsSide()
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(qRgb(20, 20, 200));
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            image.setPixel(x, y, qRgb(230, 20, 20));
    return image;
}

bool Reddish(QRgb p) { return qRed(p) > 180 && qBlue(p) < 80; }

struct ShowTest : ::testing::Test {
    void SetUp() override { ResetMouseCursorCount(); }
    void TearDown() override { EXPECT_EQ(MouseCursorCount(), 0) << "the pointer must be visible again"; }
};
} // namespace

TEST_F(ShowTest, PicturesLargerThanTheScreenAreHalvedUntilTheyFit)
{
    SizedPictures pics;
    pics.Sizes["P1.BMP"] = QSize(1025, 768);
    pics.Sizes["P2.BMP"] = QSize(1024, 768);
    pics.Sizes["P3.BMP"] = QSize(3000, 2000);
    pics.Sizes["P4.BMP"] = QSize(10, 10);
    Show show(settingsFor(4, false), pics);
    show.form.StartShow(5);
    EXPECT_EQ(show.form.PictureRect().size(), QSize(512, 384));
    EXPECT_EQ(show.form.EnhImage1->ScaleStyle(), ssStretchXY);
    EXPECT_FALSE(show.form.EnhImage1->AutoSize());
    // Exactly the screen's size: full size, and random(0) places it at 0, 0.
    show.form.Engine().SetImageIndex(2);
    show.form.LoadPicture();
    show.form.PlaceAtRandom();
    EXPECT_EQ(show.form.PictureRect(), QRect(0, 0, 1024, 768));
    // Still larger than the screen after one halving: halved again, and it
    // then stands anywhere on the screen.
    show.form.Engine().SetImageIndex(3);
    show.form.LoadPicture();
    for (int i = 0; i < 50; ++i) {
        show.form.PlaceAtRandom();
        const QRect r = show.form.PictureRect();
        ASSERT_EQ(r.size(), QSize(750, 500));
        ASSERT_TRUE(r.left() >= 0 && r.left() < 1024 - 750 && r.top() >= 0 && r.top() < 768 - 500) << r.left() << "," << r.top();
    }
    // A picture that fits after a halved one is shown at its own size.
    show.form.Engine().SetImageIndex(4);
    show.form.LoadPicture();
    EXPECT_EQ(show.form.PictureRect().size(), QSize(10, 10));
    EXPECT_EQ(show.form.EnhImage1->ScaleStyle(), ssNormal);
}

TEST_F(ShowTest, APortraitPhotoStandsUprightAndIsHalvedByItsUprightSize)
{
    SizedPictures pics;
    pics.Files["P1.JPG"] = OrientedJpeg(StoredOnItsSide(), 6);
    // 300 x 400 upright: on a 350 x 768 screen it fits at once.
    {
        SaverSettings s = settingsFor(1, false);
        setSlotName(s.Slot(1), "P1.JPG");
        Show upright(s, pics, QSize(350, 768));
        upright.form.StartShow(1);
        EXPECT_EQ(upright.form.PictureRect().size(), QSize(300, 400));
        EXPECT_EQ(upright.form.EnhImage1->ScaleStyle(), ssNormal);
        // The red corner was the stored top left: upright it is the top right.
        const QImage& shown = upright.form.JpegPicture->Image();
        EXPECT_TRUE(Reddish(shown.pixel(270, 10)));
        EXPECT_FALSE(Reddish(shown.pixel(10, 10)));
    }
    // 400 wide stored would fit a 350 x 300 screen's width after one
    // halving, but its upright 400 height asks for two: 75 x 100.
    SaverSettings s = settingsFor(1, false);
    setSlotName(s.Slot(1), "P1.JPG");
    Show small(s, pics, QSize(350, 150));
    small.form.StartShow(1);
    EXPECT_EQ(small.form.PictureRect().size(), QSize(75, 100));
}

TEST_F(ShowTest, TheFirstMissingSlotIsNamedAndTheShowDoesNotStart)
{
    SizedPictures pics;
    pics.Sizes["P1.BMP"] = QSize(10, 10);
    pics.Sizes["P3.BMP"] = QSize(10, 10);
    MessageRecorder rec;
    SaverSettings s = settingsFor(5, false);
    bool shown = false;
    ModalWatch watch = OnNextModal([&](QWidget* w) {
        shown = true;
        w->close();
    });
    runShowWith(s, pics);
    watch.Cancel();
    EXPECT_FALSE(shown);
    EXPECT_EQ(rec.Texts(), QStringList{"The graphic P2.BMP was not found."});
    // An emptied slot within the count is left out, as the editor's OK
    // leaves it out: the next missing picture is named.
    s.Slot(2).NameLength = 0;
    rec.Clear();
    runShowWith(s, pics);
    EXPECT_EQ(rec.Texts(), QStringList{"The graphic P4.BMP was not found."});
}

TEST_F(ShowTest, APictureGoneDuringTheShowEndsIt)
{
    SizedPictures pics;
    pics.Sizes["P1.BMP"] = QSize(10, 10);
    pics.Sizes["P2.BMP"] = QSize(10, 10);
    MessageRecorder rec;
    SaverSettings s = settingsFor(2, false);
    s.DisplayTimes = 1;
    s.DisplaySeconds = 1;
    Show show(s, pics);
    show.form.StartShow(1);
    pics.Sizes.remove("P2.BMP");
    show.form.Timer1Timer();
    EXPECT_EQ(rec.Texts(), QStringList{"The graphic P2.BMP was not found."});
    EXPECT_TRUE(show.form.ShowEnded());
    EXPECT_EQ(show.form.result(), int(QDialog::Rejected));
    EXPECT_FALSE(show.form.Timer1.isActive());
}

TEST_F(ShowTest, AnUndecodablePictureIsReportedOnceAndTheShowGoesOn)
{
    SizedPictures pics;
    for (int k = 1; k <= 3; ++k)
        pics.Sizes[QString("P%1.BMP").arg(k)] = QSize(20 * k, 10);
    pics.Broken << "P2.BMP";
    MessageRecorder rec;
    bool timersStoppedDuringBox = false;
    SaverSettings s = settingsFor(3, false);
    s.DisplayTimes = 1;
    s.DisplaySeconds = 1;
    Show show(s, pics);
    rec.OnMessage = [&](const TMessage&) { timersStoppedDuringBox = !show.form.Timer1.isActive(); };
    show.form.show();
    show.form.StartShow(1);
    show.form.Timer1Timer();   // picture 2 fails: picture 3 comes at once
    EXPECT_EQ(rec.Texts(), QStringList{"Bitmap image is not valid."});
    EXPECT_TRUE(timersStoppedDuringBox);
    EXPECT_EQ(show.form.Engine().ImageIndex(), 3);
    EXPECT_EQ(show.form.PictureRect().width(), 60);
    EXPECT_FALSE(show.form.ShowEnded());
    EXPECT_TRUE(show.form.Timer1.isActive()) << "the beat goes on after the box";
    show.form.Timer1Timer();   // picture 1
    show.form.Timer1Timer();   // picture 2 again: skipped without a new box
    EXPECT_EQ(show.form.Engine().ImageIndex(), 3);
    EXPECT_EQ(rec.Messages.size(), 1);
}

TEST_F(ShowTest, ShiftAloneEndsTheShowAndMovingTheMouseDoesNot)
{
    SizedPictures pics;
    pics.Sizes["P1.BMP"] = QSize(10, 10);
    bool survivedMove = false, hiddenPointer = false;
    OnNextModal([&](QWidget* w) {
        hiddenPointer = MouseCursorCount() < 0;
        QTest::mouseMove(w, QPoint(100, 100));
        QTest::mouseMove(w, QPoint(300, 200));
        survivedMove = w->isVisible();
        QTest::keyClick(w, Qt::Key_Shift);
    });
    runShowWith(settingsFor(1, true), pics);
    EXPECT_TRUE(hiddenPointer);
    EXPECT_TRUE(survivedMove);
}

TEST_F(ShowTest, AMouseButtonOnThePictureEndsTheShow)
{
    SizedPictures pics;
    pics.Sizes["P1.BMP"] = QSize(10, 10);
    int result = -1;
    OnNextModal([&](QWidget* w) {
        auto* form = static_cast<TSMViewForm*>(w);
        QTest::mouseClick(form->EnhImage1, Qt::RightButton);
        result = form->result();
    });
    runShowWith(settingsFor(1, false), pics);
    EXPECT_EQ(result, int(QDialog::Accepted));
}

TEST(PictureKind, OnlyADotJpgNameSuggestsAJpeg)
{
    EXPECT_TRUE(isJpegName("PIC.jpg"));
    EXPECT_TRUE(isJpegName("PIC.JPG"));
    EXPECT_FALSE(isJpegName("PIC.jpeg"));
    EXPECT_FALSE(isJpegName("PIC.BMP"));
    EXPECT_FALSE(isJpegName("PIC"));
}

TEST_F(ShowTest, ProjectFolderPicturesOfBothKindsLoad)
{
    TempFolder t;
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(QColor(10, 200, 30));
    TJPEGBitmap jpeg;
    jpeg.SetImage(img);
    jpeg.SaveToFile(t.File("PIC.jpg"));
    img.save(t.File("PIC.BMP"), "BMP");
    TFolderPictureSource source;
    SaverSettings s = settingsFor(0, false);
    s.ImageCount = 2;
    setSlotName(s.Slot(1), "PIC.JPG");
    setSlotName(s.Slot(2), "PIC.BMP");
    MessageRecorder rec;
    TSMViewForm form(s, source, {}, DecodeWorker::Mode::Inline);
    form.Panel1->setGeometry(0, 0, 1024, 768);
    form.StartShow(1);
    EXPECT_TRUE(form.IsJpeg);
    EXPECT_EQ(form.JpegPicture->Width(), 40);
    form.Engine().SetImageIndex(2);
    form.LoadPicture();
    EXPECT_TRUE(rec.Messages.isEmpty());
    EXPECT_FALSE(form.IsJpeg);
    EXPECT_EQ(form.BmpPicture->Width(), 40);
}

TEST_F(ShowTest, ANameThatLeavesTheProjectFolderIsNotThere)
{
    TempFolder t;
    CreateDir(t.File("PRJ"));
    WriteAll(t.File("OUT.BMP"), "x");
    SetCurrentDir(t.File("PRJ"));
    TFolderPictureSource source;
    EXPECT_FALSE(source.Exists("../OUT.BMP"));
    EXPECT_FALSE(source.Exists(".."));
    EXPECT_FALSE(source.Exists(t.File("OUT.BMP")));
    EXPECT_FALSE(source.Exists(""));
}

// ---------------------------------------------------------------- the view

namespace {
struct View {
    TempFolder folder;
    // A bitmap; else what the name says (PNG, or JPEG for any other name).
    View(QSize picture, const QString& name = "PIC.BMP")
    {
        form.Panel1->setGeometry(0, 0, 1024, 768);
        if (name.endsWith(".BMP"))
            WriteAll(folder.File(name), BlankBitmap(picture.width(), picture.height(), qRgb(0, 0, 255)));
        else
            TestPicture(picture.width(), picture.height()).save(folder.File(name), name.endsWith(".PNG") ? "PNG" : "JPEG");
        form.LoadPictureFile(name);
        form.FormActivate();
    }
    TSMTestForm form{0};
};
} // namespace

TEST_F(ShowTest, ViewCentresWithSeparateHalvesAndHalvesAtEqualSize)
{
    EXPECT_EQ(View(QSize(800, 600)).form.PictureRect(), QRect(112, 84, 800, 600));
    EXPECT_EQ(View(QSize(1024, 500)).form.PictureRect(), QRect(256, 259, 512, 250));
    // Still too large after one halving: halved again, no longer cut off.
    EXPECT_EQ(View(QSize(3000, 2000)).form.PictureRect(), QRect(137, 134, 750, 500));
    // The screen's size after one halving fits: not halved again.
    EXPECT_EQ(View(QSize(2048, 1536)).form.PictureRect(), QRect(0, 0, 1024, 768));
    EXPECT_EQ(View(QSize(1023, 767)).form.PictureRect(), QRect(1, 1, 1023, 767));
    // A JPEG whatever its name; a photo of another format as it would come in.
    EXPECT_EQ(View(QSize(40, 30), "PHOTO.JPEG").form.PictureRect(), QRect(492, 369, 40, 30));
    EXPECT_EQ(View(QSize(30, 20), "SHOT.PNG").form.PictureRect(), QRect(497, 374, 30, 20));
}

TEST_F(ShowTest, ThePortraitPhotoInTheViewStandsUprightAndCentred)
{
    TempFolder t;
    WriteAll(t.File("PHONE.JPG"), OrientedJpeg(StoredOnItsSide(), 6));
    TSMTestForm form{0};
    form.Panel1->setGeometry(0, 0, 1024, 768);
    form.LoadPictureFile("PHONE.JPG");
    form.FormActivate();
    EXPECT_EQ(form.PictureRect(), QRect(362, 184, 300, 400));
    EXPECT_TRUE(Reddish(form.JpegPicture->Image().pixel(270, 10)));
    // Turned the other way (8), the corner is at the bottom left.
    WriteAll(t.File("OTHER.JPG"), OrientedJpeg(StoredOnItsSide(), 8));
    TSMTestForm other{0};
    other.Panel1->setGeometry(0, 0, 1024, 768);
    other.LoadPictureFile("OTHER.JPG");
    other.FormActivate();
    EXPECT_TRUE(Reddish(other.JpegPicture->Image().pixel(10, 390)));
    EXPECT_FALSE(Reddish(other.JpegPicture->Image().pixel(270, 10)));
}

TEST_F(ShowTest, ASlowDecodeShowsTheEmptyViewThenThePictureAndAKeyCloses)
{
    // A legal progressive picture of 64 scans over 8192 x 8192 pixels: a
    // second or so of decoding, within the budget.
    QVector<BombScan> scans{{{0}, 0, 0, 0, 0}};
    for (int k = 1; k <= 63; ++k)
        scans.push_back({{0}, k, k, 0, 0});
    TempFolder t;
    WriteAll(t.File("SLOW.JPG"), FlatProgressiveJpeg(8192, 8192, 1, scans));
    MessageRecorder rec;
    bool emptyFirst = false, pictureThen = false;
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, qApp, [&, poll] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* view = qobject_cast<TSMTestForm*>(w);
            if (!view || !view->isVisible())
                continue;
            if (!view->EnhImage1->isVisible()) {
                emptyFirst = true;
            } else {
                pictureThen = view->EnhImage1->width() > 0 && QApplication::activeModalWidget() == view;
                poll->stop();
                poll->deleteLater();
                QTest::keyClick(view, Qt::Key_Escape);
            }
        }
    });
    poll->start(20);
    ViewPicture("SLOW.JPG", 0);
    EXPECT_TRUE(emptyFirst) << "the view waited unseen";
    EXPECT_TRUE(pictureThen) << "the picture never came, or the view was not modal";
    EXPECT_TRUE(rec.Messages.isEmpty()) << rec.Texts().join("; ").toStdString();
    EXPECT_GE(MouseCursorCount(), 0);
}

TEST_F(ShowTest, ViewReportsMissingAndUndecodableFilesAndReturns)
{
    TempFolder t;
    WriteAll(t.File("BAD.BMP"), "not a bitmap");
    MessageRecorder rec;
    bool opened = false;
    ModalWatch watch = OnNextModal([&](QWidget* w) {
        opened = true;
        w->close();
    });
    ViewPicture("*.BMP;*.JPG", 0);
    ViewPicture("BAD.BMP", 0);
    watch.Cancel();
    EXPECT_FALSE(opened);
    ASSERT_EQ(rec.Messages.size(), 2);
    EXPECT_EQ(rec.Messages[0].Text, QString("The graphic *.BMP;*.JPG was not found."));
    EXPECT_EQ(rec.Messages[1].Title, ApplicationTitle());
}

TEST_F(ShowTest, ViewOpensByPathOrBareNameAndAnyKeyCloses)
{
    TempFolder t;
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::green);
    img.save(t.File("pic.bmp"), "BMP");
    MessageRecorder rec;
    int views = 0;
    auto closeByKey = [&](QWidget* w) {
        ++views;
        auto* form = static_cast<TSMTestForm*>(w);
        EXPECT_EQ(form->EnhImage1->width(), 64);
        EXPECT_LT(MouseCursorCount(), 0);
        QTest::keyClick(w, Qt::Key_Control);
    };
    OnNextModal(closeByKey);
    ViewPicture("PIC.BMP", 0);
    OnNextModal(closeByKey);
    ViewPicture(t.File("pic.bmp"), 0);
    EXPECT_EQ(views, 2);
    EXPECT_TRUE(rec.Messages.isEmpty());
}

TEST_F(ShowTest, F1EndsTheShowLikeAnyOtherKey)
{
    HelpRecorder help;
    InstallHelpKey();
    SizedPictures pics;
    pics.Sizes["P1.BMP"] = QSize(10, 10);
    OnNextModal([&](QWidget* w) { QTest::keyClick(w, Qt::Key_F1); });
    runShowWith(settingsFor(1, false), pics);
    EXPECT_TRUE(help.Contexts.isEmpty());
}
