#include "engine/DecodeWorker.h"

#include <exception>

DecodeWorker::DecodeWorker(std::function<void()> wake, Mode mode) : wake_(std::move(wake)), mode_(mode)
{
    if (mode_ == Mode::Thread)
        thread_ = std::thread([this] { run(); });
}

DecodeWorker::~DecodeWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
        if (stop_)
            *stop_ = true;
    }
    work_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void DecodeWorker::start(DecodeJob job)
{
    slot_ = job.slot;
    if (mode_ == Mode::Inline) {
        const std::atomic<bool> never{false};
        done_ = decode(job, never);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_)
            *stop_ = true;
        done_.reset();
        next_ = std::move(job);
        ++generation_;
    }
    work_.notify_all();
}

void DecodeWorker::cancel()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop_)
        *stop_ = true;
    next_.reset();
    done_.reset();
    ++generation_;
    slot_ = 0;
}

std::optional<DecodeResult> DecodeWorker::take()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<DecodeResult> result = std::move(done_);
    done_.reset();
    return result;
}

void DecodeWorker::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return quit_ || next_; });
        if (quit_)
            return;
        DecodeJob job = std::move(*next_);
        next_.reset();
        const std::uint64_t generation = generation_;
        auto stop = std::make_shared<std::atomic<bool>>(false);
        stop_ = stop;
        lock.unlock();
        DecodeResult result = decode(job, *stop);
        // The job's bytes (a file, say) go before anyone hears of the result.
        job.source.reset();
        lock.lock();
        stop_.reset();
        // A job replaced or cancelled meanwhile has no result.
        if (quit_ || generation != generation_ || *stop)
            continue;
        done_ = std::move(result);
        lock.unlock();
        if (wake_)
            wake_();
        lock.lock();
    }
}

DecodeResult DecodeWorker::decode(DecodeJob& job, const std::atomic<bool>& stop) const
{
    DecodeResult result;
    result.slot = job.slot;
    try {
        result.picture = std::make_shared<const FittedPicture>(
            decodeToFit(*job.source, job.format, job.areaWidth, job.areaHeight, job.rule, DecodeControl(&stop)));
    } catch (const DecodeCancelled&) {
        result.error = "Decoding cancelled";
    } catch (const std::exception& e) {
        result.error = failureText(e);
    } catch (...) {
        result.error = "The picture could not be read";
    }
    return result;
}
