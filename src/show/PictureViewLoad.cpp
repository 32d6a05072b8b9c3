#include "show/PictureViewLoad.h"

#include "picture/PhotoConverter.h"
#include "toolkit/Graphics.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

struct TPictureLoad::Job {
    Decode decode;
    std::atomic<bool> cancel{false};
    // The rest is the loads' shared mutex's.
    bool ended = false;
    std::optional<TShownPicture> picture;
    std::exception_ptr failure;
    QObject* receiver = nullptr;   // nullptr once its load went
    std::function<void()> whenEnded;
};

namespace {

using Job = TPictureLoad::Job;

// What every load shares: the worker at work, and the one load that waits
// for it. Never destroyed: a photo's decode may outlast the program's end.
struct Loads {
    std::mutex mutex;
    std::condition_variable ended;
    bool working = false;
    std::shared_ptr<Job> next;
};

Loads& loads()
{
    static Loads* shared = new Loads;
    return *shared;
}

void run(Job& job)
{
    try {
        if (job.cancel)
            throw DecodeCancelled();
        TShownPicture picture = job.decode(job.cancel);
        std::lock_guard<std::mutex> lock(loads().mutex);
        job.picture = std::move(picture);
    } catch (...) {
        std::lock_guard<std::mutex> lock(loads().mutex);
        job.failure = std::current_exception();
    }
}

// The worker: the job it was started for, then each one that waited for it.
void work(std::shared_ptr<Job> job)
{
    Loads& l = loads();
    while (job) {
        run(*job);
        {
            std::lock_guard<std::mutex> lock(l.mutex);
            job->ended = true;
            // Under the lock: a load that goes meanwhile waits for this.
            if (job->receiver)
                QMetaObject::invokeMethod(job->receiver, job->whenEnded, Qt::QueuedConnection);
            job = std::exchange(l.next, nullptr);
            l.working = job != nullptr;
        }
        l.ended.notify_all();
    }
}

} // namespace

TPictureLoad::TPictureLoad(Decode decode, QObject* receiver, std::function<void()> ended)
    : job_(std::make_shared<Job>())
{
    job_->decode = std::move(decode);
    job_->receiver = receiver;
    job_->whenEnded = std::move(ended);
    Loads& l = loads();
    std::lock_guard<std::mutex> lock(l.mutex);
    if (l.working) {
        l.next = job_;   // only one view is ever open: no other load waits
        return;
    }
    l.working = true;
    // The worker ends on its own; the program's end does not wait for it.
    std::thread(work, job_).detach();
}

TPictureLoad::~TPictureLoad()
{
    Loads& l = loads();
    std::lock_guard<std::mutex> lock(l.mutex);
    job_->receiver = nullptr;
    job_->cancel = true;
    if (l.next == job_)
        l.next = nullptr;
}

bool TPictureLoad::WaitFor(std::chrono::milliseconds most)
{
    Loads& l = loads();
    std::unique_lock<std::mutex> lock(l.mutex);
    return l.ended.wait_for(lock, most, [&] { return job_->ended; });
}

TShownPicture TPictureLoad::Take()
{
    std::lock_guard<std::mutex> lock(loads().mutex);
    if (!job_->ended)
        throw DecodeCancelled();
    if (job_->failure)
        std::rethrow_exception(job_->failure);
    return std::move(*job_->picture);
}

TPictureLoad::Decode decodeOfFile(std::shared_ptr<TStream> stream, bool jpeg, QSize area, FitRule rule)
{
    return [=](const std::atomic<bool>& cancel) { return loadShownPicture(*stream, jpeg, area, rule, &cancel); };
}

TPictureLoad::Decode decodeOfPhoto(const QString& fileName, quint32 background, QSize area, FitRule rule)
{
    return [=](const std::atomic<bool>&) {
        TShownPicture shown;
        shown.Image = readPhoto(fileName, background, fileName);
        shown.Halvings = halvingsToFit(shown.Image.width(), shown.Image.height(), area.width(), area.height(), rule);
        shown.Size = QSize(shown.Image.width() >> shown.Halvings, shown.Image.height() >> shown.Halvings);
        return shown;
    };
}
