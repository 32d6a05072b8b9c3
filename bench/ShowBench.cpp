// The Float show's cost per step against one plain draw of its picture.
//
// A 4000 x 3000 photo on a 1920 x 1080 panel is shown halved until it fits
// (1000 x 750), as the show does with a picture larger than the screen. One
// Float step is
// TSMViewForm::FloatStep followed by the repaint it causes, done by Qt's own
// painting as on screen (the window's backing store). The plain draw is one
// QPainter::drawImage of the shown picture onto an image of the panel's
// size. The ratio of the two times is printed (target: at most 1.5), and so
// is the number of steps per second the show reaches at FloatSpeed 999 (a
// step every millisecond asked for) when its own timers drive it.
#include "picture/JPEGBitmap.h"
#include "project/SlotNames.h"
#include "show/PictureSource.h"
#include "show/ShowWindow.h"
#include "controls/EnhImage.h"
#include "picture/Registration.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"
#include "toolkit/Toolkit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPainter>
#include <QTemporaryDir>
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int PhotoWidth = 4000, PhotoHeight = 3000;
constexpr int PanelWidth = 1920, PanelHeight = 1080;

// Counts the paints of the panel and the picture control, and the control's
// moves.
class Counter : public QObject {
public:
    int Paints = 0;
    int Moves = 0;
protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++Paints;
        else if (e->type() == QEvent::Move && o->objectName() == QLatin1String("EnhImage1"))
            ++Moves;
        return false;
    }
};

QImage MakePhoto()
{
    QImage image(PhotoWidth, PhotoHeight, QImage::Format_RGB32);
    for (int y = 0; y < PhotoHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < PhotoWidth; ++x)
            row[x] = qRgb(60 + 150 * x / PhotoWidth, 40 + 120 * y / PhotoHeight + ((x / 37 + y / 29) & 1) * 20,
                          180 - 100 * (x + y) / (PhotoWidth + PhotoHeight));
    }
    return image;
}

SaverSettings FloatSettings()
{
    SaverSettings s = newProjectSettings();
    s.DisplayMode = 1;
    s.FloatSpeed = MaxFloatSpeed;
    s.ChangeEvery = MaxChangeEvery;
    s.ImageCount = 1;
    setSlotName(s.Slot(1), QStringLiteral("PHOTO.JPG"));
    return s;
}

struct Show {
    TFolderPictureSource source;
    TSMViewForm form;
    Counter counter;
    Show() : form(FloatSettings(), source, TShowOptions{false, false})
    {
        form.resize(PanelWidth, PanelHeight);
        form.show();
        // The photo is decoded off the window's thread; then the benchmark
        // makes the steps itself.
        WaitUntil([this] { return form.Engine().frame().visible; });
        form.Timer1.stop();
        form.EnhImage1->installEventFilter(&counter);
        form.Panel1->installEventFilter(&counter);
        QCoreApplication::processEvents();
    }
};

Show* show = nullptr;
QImage displayed;   // the picture at the size the show shows it

void BM_FloatStep(benchmark::State& state)
{
    const int before = show->counter.Paints;
    for (auto _ : state) {
        show->form.FloatStep();
        // The repaint the move asks for, as the event loop would do it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        QCoreApplication::processEvents();
    }
    // Qt moves what is already painted and repaints only what the move
    // uncovers; every step must still repaint something.
    if (show->counter.Paints - before < int(state.iterations()))
        state.SkipWithError("a step went without a repaint");
}

void BM_PlainDraw(benchmark::State& state)
{
    QImage panel(PanelWidth, PanelHeight, QImage::Format_RGB32);
    int i = 0;
    for (auto _ : state) {
        QPainter p(&panel);
        p.drawImage(QPoint(-(i % 10), -(i % 10)), displayed);
        p.end();
        benchmark::DoNotOptimize(panel.constBits());
        ++i;
    }
}

BENCHMARK(BM_PlainDraw)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(5);
BENCHMARK(BM_FloatStep)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(5);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitToolkit();
    registerPictureFormats();
    StopAtAnyMessage();
    benchmark::Initialize(&argc, argv);

    QTemporaryDir folder;
    SetCurrentDir(folder.path());
    {
        TJPEGBitmap photo;
        photo.SetImage(MakePhoto());
        photo.SaveToFile(QStringLiteral("PHOTO.JPG"));
    }
    Show s;
    show = &s;
    const QRect r = s.form.PictureRect();
    std::printf("Panel %d x %d, picture %d x %d shown at %d x %d\n", s.form.ScreenSize().width(),
                s.form.ScreenSize().height(), PhotoWidth, PhotoHeight, r.width(), r.height());
    {
        TJPEGBitmap photo;
        photo.LoadFromFile(QStringLiteral("PHOTO.JPG"));
        displayed = photo.Image().scaled(r.size());
    }

    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // The show's own pace: its timers at FloatSpeed 999 for two seconds.
    const int moves = s.counter.Moves;
    s.form.Timer1.start(0);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double stepsPerSecond = (s.counter.Moves - moves) * 1000.0 / double(clock.elapsed());
    s.form.Timer1.stop();

    const double step = reporter.Median["BM_FloatStep"];
    const double draw = reporter.Median["BM_PlainDraw"];
    if (step > 0 && draw > 0)
        std::printf("\nFloat step: %.2f ms, plain draw %.2f ms, ratio %.3f (target at most 1.50)\n", step, draw,
                    step / draw);
    std::printf("Float steps per second at FloatSpeed 999: %.0f (asked for: 1000)\n", stepsPerSecond);
    return 0;
}
