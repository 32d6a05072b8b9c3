#include "common/ShowRunner.h"

#include <atomic>
#include <chrono>
#include <unistd.h>

namespace player {

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

namespace {
std::uint32_t seedOfTheMoment()
{
    // The show is seeded from the time of day, as the program's own is. The
    // shows on several monitors begin in the same millisecond: each start
    // adds its own count, so that no two of them take the same places.
    static std::atomic<std::uint32_t> starts{0};
    const auto t = std::chrono::system_clock::now().time_since_epoch();
    return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(t).count()) ^ (std::uint32_t(::getpid()) << 16) ^
           (starts++ * 0x9E3779B9u);
}
const ShowFrame nothingShown;
} // namespace

ShowRunner::ShowRunner(const StoreView& store, std::function<void()> wake)
    : pictures_(store, true), settings_(showSettingsOf(store.settings)), wake_(std::move(wake))
{
}

void ShowRunner::restart(std::int64_t now)
{
    engine_.reset();
    engine_ = std::make_unique<ShowEngine>(settings_, pictures_, wake_);
    engine_->setArea(width_, height_);
    engine_->start(seedOfTheMoment(), now);
}

void ShowRunner::setArea(int width, int height, std::int64_t now)
{
    const bool same = width == width_ && height == height_;
    width_ = width;
    height_ = height;
    if (!engine_) {
        restart(now);
        return;
    }
    if (same)
        return;
    engine_->setArea(width, height);
    // The picture on show was made for the old size: when the new one asks
    // for it at another scale (a window made much larger or smaller), the
    // show starts afresh rather than keep it too small or cut off.
    const ShowFrame& f = engine_->frame();
    if (f.picture &&
        halvingsToFit(f.picture->info.uprightWidth(), f.picture->info.uprightHeight(), width, height, FitRule::LargerThan) !=
            f.picture->halvings)
        restart(now);
}

void ShowRunner::run(std::int64_t now, const std::function<void(const std::string&, bool)>& tell)
{
    if (!engine_ || failed_)
        return;
    engine_->run(now);
    while (std::optional<ShowNotice> n = engine_->takeNotice()) {
        const std::string name = n->slot >= 1 && n->slot <= MaxImages ? pictures_.store().settings.Slot(n->slot).Name() : "";
        if (n->kind == ShowNotice::Missing) {
            failed_ = true;
            tell(missingPictureText(name), true);
        } else {
            tell(undecodablePictureText(name, n->message), false);
        }
    }
    if (engine_->ended())
        failed_ = true;
}

void ShowRunner::end()
{
    if (engine_)
        engine_->end();
}

const ShowFrame& ShowRunner::frame() const { return engine_ ? engine_->frame() : nothingShown; }

std::int64_t ShowRunner::nextTickAt() const { return engine_ ? engine_->nextTickAt() : nowMs() + 1000; }

} // namespace player
