// The show at a picture change: three 12-megapixel JPEGs floating on a
// 1920 x 1080 screen (a step every 10 ms, a new picture every 2 s). Measures
// the longest time the event loop is held at a change, against the step
// interval, with the next picture decoded ahead on the worker, and, in the
// same run, with every picture decoded inside the tick as the show once did;
// and the peak memory the running show adds, against two decoded
// screen-sized pictures.
#include "BenchSupport.h"

#include "picture/JPEGBitmap.h"
#include "picture/Registration.h"
#include "project/SlotNames.h"
#include "show/PictureSource.h"
#include "show/ShowWindow.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"
#include "toolkit/Toolkit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

namespace {

constexpr int ScreenWidth = 1920, ScreenHeight = 1080;
constexpr int PhotoWidth = 4000, PhotoHeight = 3000;
constexpr int StepMs = 10;
constexpr int Changes = 5;

QImage MakePhoto(int seed)
{
    QImage image(PhotoWidth, PhotoHeight, QImage::Format_RGB32);
    for (int y = 0; y < PhotoHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < PhotoWidth; ++x)
            row[x] = qRgb((60 + 150 * x / PhotoWidth + seed * 40) & 255,
                          40 + 120 * y / PhotoHeight + ((x / 37 + y / 29) & 1) * 20,
                          (180 - 100 * (x + y) / (PhotoWidth + PhotoHeight) + seed * 25) & 255);
    }
    return image;
}

SaverSettings ThreePhotos()
{
    SaverSettings s = newProjectSettings();
    s.DisplayMode = 1;
    s.FloatSpeed = 1000 - StepMs;
    s.ChangeEvery = MinChangeEvery;
    s.ImageCount = 3;
    for (int k = 1; k <= 3; ++k)
        setSlotName(s.Slot(k), QStringLiteral("PHOTO%1.JPG").arg(k));
    return s;
}

long ResidentKb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// Time the window's thread has worked, in ms: a turn of the loop that comes
// late because other programs had the processor was not held by the show.
double ThreadCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Run {
    double longestHoldMs = 0;   // the longest the loop's thread worked between two turns
    double longestGapMs = 0;    // the longest wall-clock time between two turns
    long peakAddedKb = 0;       // resident memory above the show's start
    int changes = 0;
};

// Runs the show until it has changed the picture `Changes` times, noting
// how long the event loop goes between two of its turns.
Run RunShow(DecodeWorker::Mode decoding)
{
    TFolderPictureSource source;
    Run run;
    const long before = ResidentKb();
    TSMViewForm form(ThreePhotos(), source, TShowOptions{false, false}, decoding);
    form.resize(ScreenWidth, ScreenHeight);
    form.show();
    // The first picture is not yet a change.
    WaitUntil([&] { return form.Engine().frame().visible; });
    int lastSlot = form.Engine().frame().slot;
    QElapsedTimer sinceTurn, total;
    sinceTurn.start();
    total.start();
    double cpuAtTurn = ThreadCpuMs();
    // A turn of the event loop every millisecond: the gap between two is how
    // long the loop was held.
    QTimer probe;
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const double cpu = ThreadCpuMs();
        run.longestHoldMs = std::max(run.longestHoldMs, cpu - cpuAtTurn);
        run.longestGapMs = std::max(run.longestGapMs, sinceTurn.nsecsElapsed() / 1e6);
        cpuAtTurn = cpu;
        sinceTurn.restart();
        run.peakAddedKb = std::max(run.peakAddedKb, ResidentKb() - before);
        if (form.Engine().frame().slot != lastSlot) {
            lastSlot = form.Engine().frame().slot;
            ++run.changes;
        }
    });
    probe.start();
    while (run.changes < Changes && total.elapsed() < (Changes + 3) * 2000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    probe.stop();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitToolkit();
    registerPictureFormats();
    StopAtAnyMessage();
    QTemporaryDir folder;
    SetCurrentDir(folder.path());
    for (int k = 1; k <= 3; ++k) {
        TJPEGBitmap photo;
        photo.SetImage(MakePhoto(k));
        photo.SaveToFile(QStringLiteral("PHOTO%1.JPG").arg(k));
    }
    releaseSparePictureMemory();

    const Run inTick = RunShow(DecodeWorker::Mode::Inline);
    releaseSparePictureMemory();
    const Run ahead = RunShow(DecodeWorker::Mode::Thread);

    const double twoScreensKb = 2.0 * ScreenWidth * ScreenHeight * 4 / 1024;
    std::printf("Three %d x %d JPEGs floating on %d x %d, a step every %d ms, %d changes each way\n", PhotoWidth,
                PhotoHeight, ScreenWidth, ScreenHeight, StepMs, Changes);
    std::printf("Decoded inside the tick: the loop held up to %.1f ms (%.1f steps; %.1f ms between two turns), %d changes\n",
                inTick.longestHoldMs, inTick.longestHoldMs / StepMs, inTick.longestGapMs, inTick.changes);
    std::printf("Decoded ahead: the loop held up to %.1f ms (%.1f ms between two turns), %d changes\n", ahead.longestHoldMs,
                ahead.longestGapMs, ahead.changes);
    std::printf("Held at a change: ratio %.2f of a step (target at most 1.00)\n", ahead.longestHoldMs / StepMs);
    std::printf("Show memory: %ld KiB at most above its start; ratio %.2f of two screen-sized pictures (target at most 1.50)\n",
                ahead.peakAddedKb, ahead.peakAddedKb / twoScreensKb);
    return 0;
}
