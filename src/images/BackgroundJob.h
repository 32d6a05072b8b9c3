#pragma once
// Work that would freeze a window (a photo converted, a file of a batch
// brought in) run on a thread of its own, one job at a time. Its end comes
// back to the window's thread as a queued call; the busy pointer shows
// meanwhile. Nothing waits by spinning.
#include "toolkit/Cursor.h"

#include <functional>
#include <thread>

class QObject;

class BackgroundJob {
public:
    // Ends are delivered to `window`'s thread while it lives (not owned).
    explicit BackgroundJob(QObject* window) : window_(window) {}
    // Waits for a job still running; its end is not delivered.
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    bool Busy() const { return busy_; }
    // Runs `work` (which must not throw, touch a widget or show a box) on the
    // thread, then `done` on the window's thread, where it may start the next
    // job. Only when not Busy().
    void Run(std::function<void()> work, std::function<void()> done);

private:
    QObject* window_;
    std::thread thread_;
    bool busy_ = false;
    TCursorShape cursor_ = TCursorShape::Default;
};
