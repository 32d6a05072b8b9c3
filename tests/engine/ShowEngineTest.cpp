// The show without a window: the Random timeline, the Float path and its
// edge turns, halving until a picture fits, the first missing picture, a
// picture that cannot be decoded, the engine's own clock, and the next
// picture decoded ahead while the motion goes on.
#include "BitmapWriter.h"
#include "JpegFiles.h"
#include "engine/ShowEngine.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>

namespace {

// Bytes of a picture file that the source keeps while it is read.
class BytesSource final : public ByteSource {
public:
    explicit BytesSource(QByteArray bytes) : bytes_(std::move(bytes)), source_(bytes_.constData(), std::size_t(bytes_.size())) {}
    std::size_t read(void* buffer, std::size_t n) override { return source_.read(buffer, n); }
    void seek(std::uint64_t offset) override { source_.seek(offset); }
    std::uint64_t size() override { return source_.size(); }

private:
    QByteArray bytes_;
    MemorySource source_;
};

// Pictures in memory by slot: blank bitmaps of a size in a few bytes each,
// or whole files. Counts the pictures opened for decoding.
class Pictures : public ShowPictures {
public:
    std::map<int, QByteArray> Files;
    std::set<int> Jpegs;
    int Opens = 0;
    void Sized(int slot, int width, int height) { Files[slot] = BlankBitmap(width, height, qRgb(200, 30, 30)); }
    bool exists(int slot) override { return Files.count(slot) > 0; }
    std::unique_ptr<ByteSource> open(int slot) override
    {
        ++Opens;
        return std::make_unique<BytesSource>(Files.at(slot));
    }
    PictureFormat format(int slot) override { return Jpegs.count(slot) ? PictureFormat::Jpeg : PictureFormat::Bitmap; }
};

ShowSettings Settings(int count, bool floatMode)
{
    ShowSettings s;
    s.mode = floatMode ? ShowMode::Float : ShowMode::Random;
    s.pictureCount = count;
    return s;
}

// An engine on a 1024 x 768 screen that decodes every picture where it is
// due, so that a test can step it tick by tick.
struct Show {
    Show(ShowSettings s, Pictures& pictures, int width = 1024, int height = 768)
        : engine(s, pictures, {}, DecodeWorker::Mode::Inline)
    {
        engine.setArea(width, height);
    }
    ShowEngine engine;
    PictureRect rect() const { return engine.frame().rect; }
    void moveTo(int left, int top)
    {
        engine.SetPictureTop(top);
        engine.SetPictureLeft(left);
    }
};

std::pair<int, int> Size(const PictureRect& r) { return {r.width, r.height}; }

} // namespace

// ---------------------------------------------------------------- Float

TEST(ShowEngine, FloatGlidesFivePixelsAndTurnsEachAxisOnItsOwn)
{
    Pictures pics;
    pics.Sized(1, 100, 100);
    Show show(Settings(1, true), pics);
    show.engine.start(1);
    show.moveTo(7, 3);
    std::vector<std::pair<int, int>> path;
    for (int i = 0; i < 4; ++i) {
        show.engine.FloatStep();
        path.emplace_back(show.rect().left, show.rect().top);
    }
    EXPECT_EQ(path, (std::vector<std::pair<int, int>>{{2, -2}, {-3, 3}, {2, 8}, {7, 13}}));
}

TEST(ShowEngine, FloatTurnsAtTheLeftAndRightEdges)
{
    Pictures pics;
    pics.Sized(1, 924, 100);   // FW - W = 100
    Show show(Settings(1, true), pics);
    show.engine.start(1);
    show.moveTo(3, 300);
    show.engine.SetMoveLeft(true);
    std::vector<int> xs;
    for (int i = 0; i < 3; ++i) {
        show.engine.FloatStep();
        xs.push_back(show.rect().left);
    }
    EXPECT_EQ(xs, (std::vector<int>{-2, 3, 8}));
    show.moveTo(98, 300);
    show.engine.SetMoveLeft(false);
    xs.clear();
    for (int i = 0; i < 3; ++i) {
        show.engine.FloatStep();
        xs.push_back(show.rect().left);
    }
    EXPECT_EQ(xs, (std::vector<int>{103, 98, 93}));
}

TEST(ShowEngine, FloatChangesPictureInPlaceAndALargerOneTravelsBack)
{
    Pictures pics;
    pics.Sized(1, 100, 100);
    pics.Sized(2, 300, 100);
    ShowSettings s = Settings(2, true);
    s.changeEvery = 5;
    Show show(s, pics);
    show.engine.start(1);
    show.moveTo(920, 300);   // 4 pixels inside the right edge
    show.engine.SetMoveLeft(false);
    show.engine.SetMoveUp(false);
    show.engine.SetSecondCount(5);
    show.engine.timer1Tick();
    EXPECT_EQ(show.engine.ImageIndex(), 2);
    EXPECT_EQ(show.engine.SecondCount(), 0);
    EXPECT_EQ(Size(show.rect()), std::make_pair(300, 100));
    // The new picture stands where the old one was and out past the right
    // edge: it turns and travels back 5 pixels a tick.
    EXPECT_EQ(std::make_pair(show.rect().left, show.rect().top), std::make_pair(925, 305));
    EXPECT_TRUE(show.engine.MoveLeft());
    show.engine.timer1Tick();
    EXPECT_EQ(std::make_pair(show.rect().left, show.rect().top), std::make_pair(920, 310));
}

TEST(ShowEngine, APhoneSizedPhotoOnAFullHdScreenIsShownAtAQuarterAndFloats)
{
    Pictures pics;
    pics.Sized(1, 4000, 3000);
    Show show(Settings(1, true), pics, 1920, 1080);
    show.engine.start(3);
    ASSERT_EQ(Size(show.rect()), std::make_pair(1000, 750));
    EXPECT_EQ(show.engine.frame().picture->halvings, 2);
    show.moveTo(400, 200);
    std::set<int> lefts;
    for (int i = 0; i < 400; ++i) {
        const PictureRect before = show.rect();
        show.engine.FloatStep();
        const PictureRect after = show.rect();
        ASSERT_EQ(std::abs(after.left - before.left), 5);
        ASSERT_EQ(std::abs(after.top - before.top), 5);
        ASSERT_TRUE(after.left >= -4 && after.left <= 1920 - 1000 + 5 && after.top >= -4 && after.top <= 1080 - 750 + 5);
        lefts.insert(after.left);
    }
    EXPECT_GT(lefts.size(), 150u);
}

// ---------------------------------------------------------------- Random

TEST(ShowEngine, RandomTimelineThreeSecondsTwoTimesThreePictures)
{
    Pictures pics;
    for (int k = 1; k <= 3; ++k)
        pics.Sized(k, 50, 40);
    ShowSettings s = Settings(3, false);
    s.displaySeconds = 3;
    s.displayTimes = 2;
    Show show(s, pics);
    show.engine.start(7);
    std::vector<std::pair<int, int>> seen;   // (picture, placements begun) after each second
    std::vector<std::pair<int, int>> places;
    for (int second = 1; second <= 18; ++second) {
        show.engine.timer1Tick();
        seen.emplace_back(show.engine.ImageIndex(), show.engine.ShownCount());
        places.emplace_back(show.rect().left, show.rect().top);
        ASSERT_EQ(show.engine.frame().slot, show.engine.ImageIndex());
    }
    const std::vector<std::pair<int, int>> expected = {
        {1, 1}, {1, 1}, {1, 2},   // moves at 3 s
        {1, 2}, {1, 2}, {2, 1},   // picture 2 at 6 s
        {2, 1}, {2, 1}, {2, 2},   // moves at 9 s
        {2, 2}, {2, 2}, {3, 1},   // picture 3 at 12 s
        {3, 1}, {3, 1}, {3, 2},
        {3, 2}, {3, 2}, {1, 1},   // picture 1 again at 18 s
    };
    EXPECT_EQ(seen, expected);
    // It stands still between its moves.
    EXPECT_EQ(places[0], places[1]);
    EXPECT_EQ(places[3], places[4]);
    // Decoded once for each showing (1, 2, 3, 1), and the next one ahead.
    EXPECT_EQ(pics.Opens, 5);
}

TEST(ShowEngine, OnePictureIsNeverLoadedAgain)
{
    Pictures pics;
    pics.Sized(1, 50, 40);
    {
        Show random(Settings(1, false), pics);
        random.engine.start(3);
        for (int i = 0; i < 100; ++i)
            random.engine.timer1Tick();
        EXPECT_EQ(pics.Opens, 1);
    }
    ShowSettings f = Settings(1, true);
    f.changeEvery = 2;
    Show floating(f, pics);
    floating.engine.start(3);
    for (int i = 0; i < 50; ++i) {
        floating.engine.timer2Tick();
        floating.engine.timer1Tick();
    }
    EXPECT_EQ(pics.Opens, 2);
    EXPECT_LT(floating.engine.SecondCount(), 2);
}

TEST(ShowEngine, ThePlacesStayOnTheScreenAndAScreenSizedPictureStandsAtTheCorner)
{
    Pictures pics;
    pics.Sized(1, 1000, 700);
    pics.Sized(2, 1024, 768);
    Show show(Settings(2, false), pics);
    show.engine.start(11);
    for (int i = 0; i < 200; ++i) {
        show.engine.PlaceAtRandom();
        const PictureRect r = show.rect();
        ASSERT_TRUE(r.left >= 0 && r.left < 24 && r.top >= 0 && r.top < 68) << r.left << "," << r.top;
    }
    // Exactly the screen's size: full size, and random(0) places it at 0, 0.
    show.engine.SetImageIndex(2);
    show.engine.LoadPicture();
    show.engine.PlaceAtRandom();
    EXPECT_EQ(show.rect(), (PictureRect{0, 0, 1024, 768}));
}

TEST(ShowEngine, TimerIntervalsFollowTheSpeed)
{
    for (auto [speed, interval] : {std::pair{899, 101}, {990, 10}, {999, 1}}) {
        ShowSettings s = Settings(1, true);
        s.floatSpeed = speed;
        EXPECT_EQ(s.timer1Interval(), interval);
    }
    EXPECT_EQ(Settings(1, false).timer1Interval(), 1000);
}

// ---------------------------------------------------------------- halving

TEST(ShowEngine, EachHalvingStepHasTheShowsBoundary)
{
    // On 1024 x 768: exactly the screen's width after k halvings is not
    // halved again; one pixel more (after the halvings) is.
    for (int k = 0; k <= 4; ++k) {
        SCOPED_TRACE(k);
        Pictures pics;
        pics.Sized(1, 1024 << k, 64);
        pics.Sized(2, (1024 << k) + (1 << k), 64);
        Show show(Settings(2, true), pics);
        show.engine.start(1);
        EXPECT_EQ(Size(show.rect()), std::make_pair(1024, 64 >> k));
        show.engine.SetImageIndex(2);
        show.engine.LoadPicture();
        EXPECT_EQ(Size(show.rect()), std::make_pair(512, 64 >> (k + 1)));
    }
}

TEST(ShowEngine, APortraitPhotoIsHalvedByItsUprightSize)
{
    // Stored 400 x 300, turned a quarter by its EXIF orientation: 300 x 400
    // upright. On 350 x 150 its upright height asks for two halvings where
    // its stored width would ask for one.
    Pictures pics;
    pics.Files[1] = WithOrientation(EncodeJpeg(TestPicture(400, 300)), 6);
    pics.Jpegs.insert(1);
    Show show(Settings(1, false), pics, 350, 150);
    show.engine.start(1);
    EXPECT_EQ(Size(show.rect()), std::make_pair(75, 100));
    EXPECT_EQ(show.engine.frame().picture->info.uprightWidth(), 300);
}

// ---------------------------------------------------------------- faults

TEST(ShowEngine, APictureGoneAtItsTurnIsReportedAndEndsTheShow)
{
    Pictures pics;
    pics.Sized(1, 10, 10);
    pics.Sized(2, 10, 10);
    ShowSettings s = Settings(2, false);
    s.displayTimes = 1;
    s.displaySeconds = 1;
    Show show(s, pics);
    show.engine.start(1);
    pics.Files.erase(2);
    show.engine.timer1Tick();
    const std::optional<ShowNotice> n = show.engine.takeNotice();
    ASSERT_TRUE(n);
    EXPECT_EQ(n->kind, ShowNotice::Missing);
    EXPECT_EQ(n->slot, 2);
    EXPECT_TRUE(show.engine.ended());
    EXPECT_FALSE(show.engine.takeNotice());
}

TEST(ShowEngine, AnUndecodablePictureIsReportedOnceAtItsTurnAndTheNextComesAtOnce)
{
    Pictures pics;
    for (int k = 1; k <= 3; ++k)
        pics.Sized(k, 20 * k, 10);
    pics.Files[2] = "BM, but nothing more";
    ShowSettings s = Settings(3, false);
    s.displayTimes = 1;
    s.displaySeconds = 1;
    Show show(s, pics);
    show.engine.start(1);
    // Decoded ahead already, but not a word until its turn.
    EXPECT_FALSE(show.engine.takeNotice());
    show.engine.timer1Tick();
    std::optional<ShowNotice> n = show.engine.takeNotice();
    ASSERT_TRUE(n);
    EXPECT_EQ(n->kind, ShowNotice::Undecodable);
    EXPECT_EQ(n->slot, 2);
    EXPECT_EQ(n->message, "Bitmap image is not valid");
    EXPECT_EQ(show.engine.ImageIndex(), 3);
    EXPECT_EQ(show.rect().width, 60);
    EXPECT_FALSE(show.engine.ended());
    show.engine.timer1Tick();   // picture 1
    show.engine.timer1Tick();   // picture 2 again: skipped without a word
    EXPECT_EQ(show.engine.ImageIndex(), 3);
    EXPECT_FALSE(show.engine.takeNotice());
}

// ---------------------------------------------------------------- the clock

TEST(ShowEngine, TheClockRunsBothTimersAndRestartsThemAsTheShowSays)
{
    Pictures pics;
    pics.Sized(1, 10, 10);
    pics.Sized(2, 10, 10);
    ShowSettings s = Settings(2, false);
    s.displaySeconds = 1;
    s.displayTimes = 1;
    Show show(s, pics);
    show.engine.start(1, 0);
    EXPECT_EQ(show.engine.nextTickAt(), 1000);
    show.engine.run(999);
    EXPECT_EQ(show.engine.ImageIndex(), 1);
    show.engine.run(1000);   // picture 2, and Timer1 starts its second afresh
    EXPECT_EQ(show.engine.ImageIndex(), 2);
    EXPECT_EQ(show.engine.SecondCount(), 1);
    EXPECT_EQ(show.engine.nextTickAt(), 2000);
    // A stall of a minute is not made up in a burst of sixty ticks: one
    // late tick of each timer, then the one due at the time.
    show.engine.run(61000);
    EXPECT_EQ(show.engine.SecondCount(), 3);

    // Float: every 10 ms a step; a new picture resets the seconds' count.
    Pictures fp;
    fp.Sized(1, 10, 10);
    fp.Sized(2, 20, 20);
    ShowSettings f = Settings(2, true);
    f.changeEvery = 2;
    Show floating(f, fp);
    floating.engine.start(1, 0);
    floating.moveTo(500, 300);
    for (int t = 10; t <= 100; t += 10)
        floating.engine.run(t);
    EXPECT_EQ(floating.rect().left, 450) << "ten steps of five pixels up and left";
    for (int t = 110; t <= 2000; t += 10)
        floating.engine.run(t);
    EXPECT_EQ(floating.engine.SecondCount(), 2);
    floating.engine.run(2010);   // the change, at the first step after 2 s
    EXPECT_EQ(floating.engine.ImageIndex(), 2);
    EXPECT_EQ(floating.engine.SecondCount(), 0);
    EXPECT_EQ(floating.engine.nextTickAt(), 2020);
    for (int t = 2020; t <= 3000; t += 10)
        floating.engine.run(t);
    floating.engine.run(3009);
    EXPECT_EQ(floating.engine.SecondCount(), 0) << "the second starts at the change";
    floating.engine.run(3010);
    EXPECT_EQ(floating.engine.SecondCount(), 1);
}

TEST(ShowEngine, OnlyWhatChangedIsDrawnAgain)
{
    ShowFrame a;
    a.visible = true;
    a.rect = {10, 10, 100, 50};
    ShowFrame b = a;
    EXPECT_TRUE(changedAreas(a, b).empty());
    b.rect.left = 15;
    EXPECT_EQ(changedAreas(a, b), (std::vector<PictureRect>{{10, 10, 100, 50}, {15, 10, 100, 50}}));
    b = a;
    b.visible = false;
    EXPECT_EQ(changedAreas(a, b), (std::vector<PictureRect>{{10, 10, 100, 50}}));
    EXPECT_EQ(centredIn(1024, 768, 1023, 767), (PictureRect{1, 1, 1023, 767}));
    EXPECT_EQ(centredIn(1024, 768, 3000, 2000), (PictureRect{-988, -616, 3000, 2000}));
}

// ---------------------------------------------------------------- ahead

namespace {
// Waits on the engine's worker until `done`, as a front end's loop would.
bool WaitFor(ShowEngine& engine, const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QThread::msleep(2);
        engine.pollDecode();
    }
    return done();
}
} // namespace

TEST(ShowEngine, TheNextPictureIsDecodedAheadAndShownAtItsMomentWithoutWaiting)
{
    Pictures pics;
    pics.Sized(1, 300, 200);
    pics.Sized(2, 4000, 3000);
    pics.Sized(3, 200, 100);
    ShowSettings s = Settings(3, true);
    s.changeEvery = 1;
    std::atomic<int> wakes{0};
    ShowEngine engine(s, pics, [&] { ++wakes; });
    engine.setArea(1024, 768);
    engine.start(5, 0);
    ASSERT_TRUE(WaitFor(engine, [&] { return engine.frame().visible; }));
    EXPECT_GE(wakes.load(), 1);
    // Picture 2 is being decoded (or is) before its moment comes.
    ASSERT_TRUE(WaitFor(engine, [&] { return pics.Opens == 2; }));
    QThread::msleep(300);
    engine.pollDecode();
    engine.SetSecondCount(1);
    QElapsedTimer clock;
    clock.start();
    engine.timer1Tick();
    EXPECT_LT(clock.elapsed(), 30) << "the tick does not decode";
    EXPECT_EQ(engine.frame().slot, 2) << "shown at once: it was ready";
    EXPECT_EQ(Size(engine.frame().rect), std::make_pair(1000, 750));
}

TEST(ShowEngine, APictureNotReadyAtItsMomentLetsTheMotionGoOnThenComes)
{
    Pictures pics;
    pics.Sized(1, 100, 100);
    pics.Sized(2, 16000, 16000);   // a long decode
    ShowSettings s = Settings(2, true);
    s.changeEvery = 1;
    ShowEngine engine(s, pics, {});
    engine.setArea(1024, 768);
    engine.start(5, 0);
    ASSERT_TRUE(WaitFor(engine, [&] { return engine.frame().visible; }));
    engine.SetSecondCount(1);
    const PictureRect before = engine.frame().rect;
    engine.timer1Tick();
    ASSERT_TRUE(engine.waitingForPicture());
    EXPECT_EQ(engine.frame().slot, 1);
    EXPECT_EQ(std::abs(engine.frame().rect.left - before.left), 5) << "the motion goes on";
    engine.timer1Tick();
    EXPECT_EQ(engine.frame().slot, 1);
    ASSERT_TRUE(WaitFor(engine, [&] { return engine.frame().slot == 2; }, 60000));
    EXPECT_FALSE(engine.waitingForPicture());
    EXPECT_EQ(Size(engine.frame().rect), std::make_pair(500, 500));
}

TEST(ShowEngine, AChangeOfSizeDecodesTheNextPictureAgainForTheNewSize)
{
    Pictures pics;
    pics.Sized(1, 300, 200);
    pics.Sized(2, 1900, 1000);
    ShowSettings s = Settings(2, true);
    s.changeEvery = 1;
    {
        // Decoded ahead for 1920 x 1080, where it fits whole.
        ShowEngine engine(s, pics, {}, DecodeWorker::Mode::Inline);
        engine.setArea(1920, 1080);
        engine.start(5, 0);
        ASSERT_EQ(engine.frame().slot, 1);
        engine.setArea(1024, 768);
        engine.SetSecondCount(1);
        engine.timer1Tick();
        ASSERT_EQ(engine.frame().slot, 2);
        EXPECT_EQ(Size(engine.frame().rect), std::make_pair(950, 500));
    }
    // Due while its decode for the old size was still under way.
    pics.Sized(2, 16000, 8000);
    ShowEngine engine(s, pics, {});
    engine.setArea(1920, 1080);
    engine.start(5, 0);
    ASSERT_TRUE(WaitFor(engine, [&] { return engine.frame().visible; }));
    engine.SetSecondCount(1);
    engine.timer1Tick();
    ASSERT_TRUE(engine.waitingForPicture());
    engine.setArea(800, 600);
    ASSERT_TRUE(WaitFor(engine, [&] { return engine.frame().slot == 2; }, 60000));
    EXPECT_EQ(Size(engine.frame().rect), std::make_pair(500, 250));
}

TEST(ShowEngine, EndingTheShowStopsADecodeAtOnce)
{
    Pictures pics;
    pics.Sized(1, 16000, 16000);
    auto engine = std::make_unique<ShowEngine>(Settings(1, true), pics);
    engine->setArea(1024, 768);
    engine->start(1, 0);
    QThread::msleep(100);
    ASSERT_TRUE(engine->waitingForPicture());
    QElapsedTimer clock;
    clock.start();
    engine.reset();
    EXPECT_LT(clock.elapsed(), 200) << "no wait for the decode to finish";
}
