// Decompression bombs: legal progressive JPEG files of a few hundred
// kilobytes that would take a minute of work or gigabytes of memory. Each is
// refused by the decoding budget, or, while it is still being decoded, ends
// within a second of a key; the process never holds 1.2 GiB.
#include "JpegBombs.h"
#include "TestSupport.h"
#include "picture/JPEGBitmap.h"
#include "project/Project.h"
#include "show/PictureSource.h"
#include "show/PictureView.h"
#include "show/ShowWindow.h"
#include "toolkit/Cursor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr long limitKb = 1200L * 1024;   // 1.2 GiB

// The process's peak resident size since the last Reset, in KiB.
class PeakMemory {
public:
    PeakMemory()
    {
        std::ofstream("/proc/self/clear_refs") << "5";
    }
    long Kb() const
    {
        std::ifstream in("/proc/self/status");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("VmHWM:", 0) == 0)
                return std::stol(line.substr(6));
        return -1;
    }
};

const QByteArray& ManyScans()
{
    static const QByteArray bomb = ManyScansBomb(16384, 16384);   // 883 scans, 0.9 MB
    return bomb;
}

const QByteArray& DcOnly()
{
    static const QByteArray bomb = DcOnlyBomb(16384, 16384);   // 4 components, 2 MB
    return bomb;
}

// Waits for a visible window of the class, then presses Shift on it after
// `delay` ms and notes the moment.
void PressKeyOnceShown(const char* className, int delay, QElapsedTimer& pressed)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, qApp, [=, &pressed] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->inherits(className)) {
                poll->stop();
                poll->deleteLater();
                QTimer::singleShot(delay, w, [w, &pressed] {
                    pressed.start();
                    QTest::keyClick(w, Qt::Key_Shift);
                });
                return;
            }
    });
    poll->start(20);
}

class Bombs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetMouseCursorCount();
        Project() = ProjectState{};
    }
    void TearDown() override
    {
        EXPECT_GE(MouseCursorCount(), 0);
        releaseSparePictureMemory();
    }
};

// Pictures served from memory, as the player serves them from its file.
class BombSource : public TPictureSource {
public:
    explicit BombSource(QByteArray bytes) : bytes_(std::move(bytes)) {}
    bool Exists(const QString&) override { return true; }
    std::unique_ptr<TStream> Open(const QString&) override { return std::make_unique<TMemoryStream>(bytes_); }

private:
    QByteArray bytes_;
};

} // namespace

TEST_F(Bombs, TheFullSizeLoadRefusesBothAtOnce)
{
    PeakMemory peak;
    for (const QByteArray* bomb : {&ManyScans(), &DcOnly()}) {
        QElapsedTimer clock;
        clock.start();
        TJPEGBitmap bitmap;
        TMemoryStream stream(*bomb);
        try {
            bitmap.LoadFromStream(stream);
            ADD_FAILURE() << "a bomb was decoded";
        } catch (const EJPEGError& e) {
            EXPECT_EQ(e.Text(), "Picture too large (16384 x 16384)");
        }
        EXPECT_LT(clock.elapsed(), 1000);
    }
    EXPECT_LT(peak.Kb(), limitKb);
}

TEST_F(Bombs, TheViewEndsWithinASecondOfAKey)
{
    TempFolder t;
    WriteAll(t.File("BOMB.JPG"), ManyScans());
    MessageRecorder rec;
    PeakMemory peak;
    QElapsedTimer pressed;
    // The decode takes seconds: the view's window shows, empty, meanwhile.
    PressKeyOnceShown("TSMTestForm", 300, pressed);
    ViewPicture("BOMB.JPG", 0);
    ASSERT_TRUE(pressed.isValid()) << "the view never showed while it decoded";
    EXPECT_LT(pressed.elapsed(), 1000);
    std::printf("the view ended %lld ms after the key, peak resident %ld MiB\n", static_cast<long long>(pressed.elapsed()),
                peak.Kb() / 1024);
    EXPECT_TRUE(rec.Messages.isEmpty()) << rec.Texts().join("; ").toStdString();
    EXPECT_LT(peak.Kb(), limitKb);
}

// The program's own threads (Qt names its own), the first one included: a
// decode that goes on unseen is one more.
static int threadCount()
{
    const auto nameOf = [](const std::filesystem::path& task) {
        std::string name;
        std::getline(std::ifstream(task / "comm"), name);
        return name;
    };
    const std::string program = nameOf("/proc/self");
    int n = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        n += nameOf(task.path()) == program;
    return n;
}

TEST_F(Bombs, ViewsOfALargePhotoStoppedOneAfterAnotherDecodeOneAtATime)
{
    // A photo that takes a second or so to decode, and cannot stop sooner:
    // each View is ended by a key as soon as it shows.
    TempFolder t;
    QImage photo(5000, 4000, QImage::Format_ARGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgba(x & 255, y & 255, (x ^ y) & 255, (x + y) & 255));
    ASSERT_TRUE(photo.save(t.File("BIG.PNG"), "PNG", 90));
    MessageRecorder rec;
    const int before = threadCount();
    int most = 0;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer pressed;
        PressKeyOnceShown("TSMTestForm", 0, pressed);
        ViewPicture("BIG.PNG", 0);
        most = std::max(most, threadCount() - before);
    }
    EXPECT_LE(most, 1) << "stopped decodes run side by side";
    EXPECT_TRUE(rec.Messages.isEmpty()) << rec.Texts().join("; ").toStdString();
}

TEST_F(Bombs, TheViewRefusesAManyScanBombWithAMessage)
{
    TempFolder t;
    WriteAll(t.File("BOMB.JPG"), ManyScans());
    WriteAll(t.File("WIDE.JPG"), DcOnly());
    MessageRecorder rec;
    // The view showed, empty, while it decoded; the report must not lie
    // beneath its window, which is always on top.
    bool viewUp = false;
    rec.OnMessage = [&](const TMessage&) {
        for (QWidget* w : QApplication::topLevelWidgets())
            viewUp = viewUp || (w->isVisible() && w->inherits("TSMTestForm"));
    };
    PeakMemory peak;
    QElapsedTimer clock;
    clock.start();
    ViewPicture("BOMB.JPG", 0);
    const qint64 manyScans = clock.restart();
    ViewPicture("WIDE.JPG", 0);
    const qint64 dcOnly = clock.elapsed();
    EXPECT_EQ(rec.Texts(), QStringList({"Too many scans in the JPEG file for a picture of 16384 x 16384.",
                                        "Picture too large (16384 x 16384)."}));
    EXPECT_FALSE(viewUp);
    EXPECT_LT(manyScans, 15000) << "bounded by the scan budget";
    EXPECT_LT(dcOnly, 1000);
    EXPECT_LT(peak.Kb(), limitKb);
    std::printf("refused after %lld ms and %lld ms, peak resident %ld MiB\n", static_cast<long long>(manyScans),
                static_cast<long long>(dcOnly), peak.Kb() / 1024);
}

TEST_F(Bombs, TheShowEndsWithinASecondOfAKey)
{
    SaverSettings s = newProjectSettings();
    s.ImageCount = 1;
    setSlotName(s.Slot(1), "BOMB.JPG");
    BombSource source(ManyScans());
    MessageRecorder rec;
    PeakMemory peak;
    QElapsedTimer pressed;
    PressKeyOnceShown("TSMViewForm", 500, pressed);
    runShowWith(s, source);
    ASSERT_TRUE(pressed.isValid());
    EXPECT_LT(pressed.elapsed(), 1000);
    std::printf("the show ended %lld ms after the key, peak resident %ld MiB\n", static_cast<long long>(pressed.elapsed()),
                peak.Kb() / 1024);
    EXPECT_TRUE(rec.Messages.isEmpty()) << rec.Texts().join("; ").toStdString();
    EXPECT_LT(peak.Kb(), limitKb);
}
