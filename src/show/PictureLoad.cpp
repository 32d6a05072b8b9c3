#include "show/PictureLoad.h"

#include "engine/DecodeWorker.h"
#include "picture/JPEGBitmap.h"
#include "toolkit/Graphics.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {
// How long a decode may keep the window's thread from its input before the
// event loop runs beside it.
constexpr std::chrono::milliseconds quietWait{200};
} // namespace

TShownPicture LoadForScreen(std::unique_ptr<TStream> stream, bool jpeg, QSize area, FitRule rule,
                            std::atomic<bool>& stop, const std::function<void()>& whenSlow)
{
    QEventLoop loop;
    std::mutex mutex;
    std::condition_variable doneSignal;
    bool done = false;
    // The worker goes (and is joined) before anything it tells of.
    DecodeWorker worker([&] {
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        doneSignal.notify_all();
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    DecodeJob job;
    job.source = std::make_unique<TOwnedStreamSource>(std::move(stream));
    job.format = jpeg ? PictureFormat::Jpeg : PictureFormat::Bitmap;
    job.areaWidth = area.width();
    job.areaHeight = area.height();
    job.rule = rule;
    worker.start(std::move(job));

    bool finished;
    {
        std::unique_lock<std::mutex> lock(mutex);
        finished = doneSignal.wait_for(lock, quietWait, [&] { return done; });
    }
    if (!finished) {
        if (whenSlow)
            whenSlow();
        // Whoever ends the window sets `stop`; the program's end ends the loop.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
            if (stop)
                loop.quit();
        });
        watch.start(10);
        loop.exec();
    }
    std::optional<DecodeResult> result = worker.take();
    if (!result || stop) {
        worker.cancel();   // a stopped decode ends within a row or so
        throw DecodeCancelled();
    }
    if (!result->picture) {
        if (jpeg)
            throw EJPEGError(QString::fromLocal8Bit(result->error.c_str()));
        throw EGlimmerError(QString::fromLocal8Bit(result->error.c_str()));
    }
    TShownPicture shown;
    shown.Size = QSize(result->picture->shownWidth(), result->picture->shownHeight());
    shown.Halvings = result->picture->halvings;
    shown.Image = ImageOf(result->picture);
    return shown;
}
