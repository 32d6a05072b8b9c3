#include "show/PictureLoad.h"

#include "toolkit/Graphics.h"

#include <QEventLoop>
#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace {

// How long a decode may keep the window's thread from its input before the
// event loop runs beside it.
constexpr std::chrono::milliseconds quietWait{200};

// One piece of work on its own thread, which `stop` ends early. Should the
// object end before the thread was joined (an exception on the way), it
// stops the work first, then joins.
class Worker {
public:
    Worker(std::function<void()> work, std::atomic<bool>& stop)
        : stop_(stop), thread_([this, work = std::move(work)] { run(work); })
    {
    }
    ~Worker()
    {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
        }
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    bool waitFor(std::chrono::milliseconds time)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return done_.wait_for(lock, time, [this] { return finished_; });
    }

    // Runs the event loop until the work is done; false when the loop was
    // ended from outside first (the application quitting).
    bool waitRunningEvents()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (finished_)
                return true;
        }
        loop_.exec();
        std::lock_guard<std::mutex> lock(mutex_);
        return finished_;
    }

    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    // After join(): what the work threw, thrown again.
    void rethrow() const
    {
        if (error_)
            std::rethrow_exception(error_);
    }

private:
    void run(const std::function<void()>& work)
    {
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            error_ = error;
            finished_ = true;
        }
        done_.notify_all();
        QMetaObject::invokeMethod(&loop_, [this] { loop_.quit(); }, Qt::QueuedConnection);
    }

    std::atomic<bool>& stop_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::exception_ptr error_;
    QEventLoop loop_;
    std::thread thread_;   // last: it starts when everything above is ready
};

} // namespace

TShownPicture LoadForScreen(std::unique_ptr<TStream> stream, bool jpeg, QSize area, FitRule rule,
                            std::atomic<bool>& stop, const std::function<void()>& whenSlow)
{
    TShownPicture shown;
    {
        Worker worker([&] { shown = LoadShownPicture(*stream, jpeg, area, rule, &stop); }, stop);
        bool ending = false;
        if (!worker.waitFor(quietWait)) {
            if (whenSlow)
                whenSlow();
            if (!worker.waitRunningEvents()) {
                stop = true;
                ending = true;
            }
        }
        // A stopped decode ends within a row or so.
        worker.join();
        if (ending)
            throw DecodeCancelled();
        worker.rethrow();
    }
    return shown;
}
