#pragma once
// Decodes one picture at a time off the show's own thread, so that a step of
// the motion never waits for a photo. A new job, or the worker's end, stops
// the one under way within a row or so.
#include "decode/Picture.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct DecodeJob {
    int slot = 0;
    std::unique_ptr<ByteSource> source;
    PictureFormat format = PictureFormat::Bitmap;
    int areaWidth = 0;
    int areaHeight = 0;
    FitRule rule = FitRule::LargerThan;
};

struct DecodeResult {
    int slot = 0;
    std::shared_ptr<const FittedPicture> picture;   // null when the decode failed
    std::string error;                              // the decoder's text, then
};

class DecodeWorker {
public:
    // `wake` is called on the worker's thread each time a result is ready;
    // the owner then takes it on its own thread. Inline: no thread, every
    // job is decoded at once where it is started (for the tests).
    enum class Mode { Thread, Inline };
    explicit DecodeWorker(std::function<void()> wake = {}, Mode mode = Mode::Thread);
    ~DecodeWorker();
    DecodeWorker(const DecodeWorker&) = delete;
    DecodeWorker& operator=(const DecodeWorker&) = delete;

    // Starts a job; one still under way is stopped and its result dropped.
    void start(DecodeJob job);
    // Stops the job under way, if any; no result comes of it.
    void cancel();
    // The result of the last job started, once it is there (then only once).
    std::optional<DecodeResult> take();
    // The slot of the job started last, whether done or not; 0 when none.
    int slot() const { return slot_; }

private:
    void run();
    DecodeResult decode(DecodeJob& job, const std::atomic<bool>& stop) const;

    std::function<void()> wake_;
    Mode mode_;
    int slot_ = 0;
    std::mutex mutex_;
    std::condition_variable work_;
    std::optional<DecodeJob> next_;
    std::optional<DecodeResult> done_;
    std::shared_ptr<std::atomic<bool>> stop_;   // of the job under way
    std::uint64_t generation_ = 0;              // of the job started last
    bool quit_ = false;
    std::thread thread_;                        // last: it starts when all above is ready
};
