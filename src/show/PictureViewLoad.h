#pragma once
// The view's picture is decoded on a worker, so that a key, a mouse button or
// the end of the program stops a long decode at once: the window's thread
// goes on meanwhile, and the worker's end reaches it as a queued call. One
// decode at a time: a decode that cannot stop at once (a photo of another
// format) runs to its end unseen, and the next one starts only then, so that
// views stopped one after another never pile up decodes of large photos.
#include "picture/ShownPicture.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class TPictureLoad {
public:
    using Decode = std::function<TShownPicture(const std::atomic<bool>& cancel)>;

    // Starts `decode` as soon as no other decode runs; `ended` runs on
    // `receiver`'s thread once it has ended, unless this load went first.
    TPictureLoad(Decode decode, QObject* receiver, std::function<void()> ended);
    // Stops the decode: it ends unseen, and `ended` never runs.
    ~TPictureLoad();
    TPictureLoad(const TPictureLoad&) = delete;
    TPictureLoad& operator=(const TPictureLoad&) = delete;

    // Waits up to `most` for the end, on this thread, without running its
    // event loop; true when the decode has ended.
    bool WaitFor(std::chrono::milliseconds most);
    // The ended decode's picture; throws what the decode threw.
    TShownPicture Take();

    struct Job;

private:
    std::shared_ptr<Job> job_;
};

// Decodes `stream`'s picture for `area` by `rule`, as its first bytes say
// (`jpeg`: what the name suggests), stopping soon when `cancel` is set.
TPictureLoad::Decode decodeOfFile(std::shared_ptr<TStream> stream, bool jpeg, QSize area, FitRule rule);
// The same for a photo of another format (PhotoConverter: PNG, HEIC, ...),
// as Locate's View shows it before it is brought in: over `background`,
// halved by `rule`. It cannot be stopped: it ends unseen.
TPictureLoad::Decode decodeOfPhoto(const QString& fileName, quint32 background, QSize area, FitRule rule);
