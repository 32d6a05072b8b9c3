#include "show/PictureLoad.h"

#include "picture/JPEGBitmap.h"
#include "picture/PhotoConverter.h"
#include "toolkit/Graphics.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

namespace {
// How long a decode may keep the window's thread from its input before the
// event loop runs beside it.
constexpr std::chrono::milliseconds quietWait{200};

// What the window's thread and the decoding thread share; the decoding
// thread keeps it alive when the window stops waiting first.
struct Loading {
    std::mutex mutex;
    std::condition_variable doneSignal;
    bool done = false;
    std::atomic<bool> cancel{false};
    std::optional<TShownPicture> picture;
    std::exception_ptr failure;
};

using Decode = std::function<TShownPicture(const std::atomic<bool>& cancel)>;

TShownPicture loadBeside(Decode decode, std::atomic<bool>& stop, const std::function<void()>& whenSlow)
{
    auto loading = std::make_shared<Loading>();
    std::thread thread([loading, decode = std::move(decode)] {
        std::optional<TShownPicture> picture;
        std::exception_ptr failure;
        try {
            picture = decode(loading->cancel);
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(loading->mutex);
            loading->picture = std::move(picture);
            loading->failure = failure;
            loading->done = true;
        }
        loading->doneSignal.notify_all();
    });
    auto done = [&] {
        std::lock_guard<std::mutex> lock(loading->mutex);
        return loading->done;
    };
    bool finished;
    {
        std::unique_lock<std::mutex> lock(loading->mutex);
        finished = loading->doneSignal.wait_for(lock, quietWait, [&] { return loading->done; });
    }
    if (!finished) {
        if (whenSlow)
            whenSlow();
        // Whoever ends the window sets `stop`; the program's end ends the loop.
        QEventLoop loop;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
            if (stop || done())
                loop.quit();
        });
        watch.start(10);
        loop.exec();
    }
    if (!done() || stop) {
        // A JPEG or a bitmap stops within a row or so; a photo of another
        // format ends on its own, and nobody waits for it.
        loading->cancel = true;
        thread.detach();
        throw DecodeCancelled();
    }
    thread.join();
    if (loading->failure)
        std::rethrow_exception(loading->failure);
    return std::move(*loading->picture);
}

} // namespace

TShownPicture LoadForScreen(std::unique_ptr<TStream> stream, bool jpeg, QSize area, FitRule rule,
                            std::atomic<bool>& stop, const std::function<void()>& whenSlow)
{
    std::shared_ptr<TStream> source(std::move(stream));
    return loadBeside([=](const std::atomic<bool>& cancel) { return LoadShownPicture(*source, jpeg, area, rule, &cancel); },
                      stop, whenSlow);
}

TShownPicture LoadPhotoForScreen(const QString& fileName, quint32 background, QSize area, FitRule rule,
                                 std::atomic<bool>& stop, const std::function<void()>& whenSlow)
{
    return loadBeside(
        [=](const std::atomic<bool>&) {
            TShownPicture shown;
            shown.Image = ReadPhoto(fileName, background, fileName);
            shown.Halvings = halvingsToFit(shown.Image.width(), shown.Image.height(), area.width(), area.height(), rule);
            shown.Size = QSize(shown.Image.width() >> shown.Halvings, shown.Image.height() >> shown.Halvings);
            return shown;
        },
        stop, whenSlow);
}
