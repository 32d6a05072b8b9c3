#pragma once
// What a decode may spend and how it is stopped. The budget bounds memory
// (everything one decode holds at once: the pixels and the decoder's own
// buffers) and time (the scans of a progressive JPEG, and the blocks those
// scans visit), so that a small file cannot make a huge amount of work.
#include "decode/DecodeError.h"

#include <atomic>
#include <cstdint>

// The largest picture decoded at all, in bytes of 32-bit pixels at its full
// size, whatever size it is shown at.
inline constexpr std::uint64_t maxPictureBytes = std::uint64_t(1) << 30;
// Its longest side: far beyond any camera or screen (JPEG stops at 65500),
// and within what a QImage can hold (under 67 million pixels a row).
inline constexpr int maxPictureSide = 1 << 24;

struct DecodeBudget {
    std::uint64_t maxBytes = std::uint64_t(1) << 30;
    // Cameras write about 10 scans; libjpeg-turbo's own fuzzing stops at 500.
    int maxScans = 100;
    // Blocks of 8 x 8 coefficients, summed over the scans that visit them.
    // libjpeg's own 10-scan progression of a colour picture sums to 14 times
    // the blocks of one component: 39 million for the largest picture that
    // the memory budget lets through, 2.6 million for a 12-megapixel photo.
    std::uint64_t maxScanBlocks = std::uint64_t(1) << 26;
};

class DecodeControl {
public:
    DecodeControl() = default;
    explicit DecodeControl(const std::atomic<bool>* cancel, DecodeBudget budget = {}) : cancel_(cancel), budget_(budget) {}

    const DecodeBudget& budget() const { return budget_; }
    bool cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }
    // Throws DecodeCancelled once the caller has asked to stop.
    void checkCancelled() const
    {
        if (cancelled())
            throw DecodeCancelled();
    }

private:
    const std::atomic<bool>* cancel_ = nullptr;   // not owned; may be null
    DecodeBudget budget_;
};
