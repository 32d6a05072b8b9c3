#include "images/BackgroundJob.h"

#include <QMetaObject>
#include <QObject>

#include <utility>

BackgroundJob::~BackgroundJob()
{
    if (thread_.joinable())
        thread_.join();
}

void BackgroundJob::Run(std::function<void()> work, std::function<void()> done)
{
    busy_ = true;
    cursor_ = ScreenCursor();
    SetScreenCursor(TCursorShape::HourGlass);
    thread_ = std::thread([this, work = std::move(work), done = std::move(done)]() mutable {
        work();
        QMetaObject::invokeMethod(
            window_,
            [this, done = std::move(done)] {
                thread_.join();
                busy_ = false;
                SetScreenCursor(cursor_);
                done();
            },
            Qt::QueuedConnection);
    });
}
