#include "engine/ShowEngine.h"

#include <algorithm>

ShowSettings showSettingsOf(const SaverSettings& s)
{
    ShowSettings show;
    show.mode = s.Mode();
    show.floatSpeed = s.FloatSpeed;
    show.changeEvery = s.ChangeEvery;
    show.displaySeconds = s.DisplaySeconds;
    show.displayTimes = s.DisplayTimes;
    show.pictureCount = std::clamp<int>(s.ImageCount, 0, MaxImages);
    return show;
}

int ShowSettings::timer1Interval() const
{
    switch (mode) {
    case ShowMode::Random:
        // It counts seconds.
        return 1000;
    case ShowMode::Float:
        // The motion's pace: 101 ms at the slowest, 1 ms at the fastest.
        return std::max(1, 1000 - floatSpeed);
    }
    return 1000;
}

ShowEngine::ShowEngine(ShowSettings settings, ShowPictures& pictures, std::function<void()> wake, DecodeWorker::Mode mode)
    : settings_(settings), pictures_(pictures), worker_(std::move(wake), mode)
{
    settings_.pictureCount = std::clamp(settings_.pictureCount, 0, 10);
    undecodable_.assign(std::size_t(settings_.pictureCount) + 1, false);
}

ShowEngine::~ShowEngine() { end(); }

void ShowEngine::setArea(int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == areaWidth_ && height == areaHeight_)
        return;
    areaWidth_ = width;
    areaHeight_ = height;
    // A picture decoded, or being decoded, for the old size would show at
    // that size: it is decoded again for this one.
    ahead_.reset();
    if (decoding_ != 0) {
        worker_.cancel();
        decoding_ = 0;
    }
    if (!started_ || ended_)
        return;
    if (pending_ != Pending::None)
        loadPicture(pending_);
    else
        decodeAhead();
}

int ShowEngine::Random(int n)
{
    // A picture larger than the area leaves no room to choose from: it
    // stands at 0 on that axis.
    if (n < 1)
        return 0;
    return std::uniform_int_distribution<int>(0, n - 1)(rng_);
}

void ShowEngine::start(std::uint32_t seed, std::int64_t nowMs)
{
    rng_.seed(seed);
    started_ = true;
    now_ = nowMs;
    tickCount_ = 0;
    shownCount_ = 1;
    secondCount_ = 0;
    timer1Due_ = nowMs + settings_.timer1Interval();
    timer2Due_ = nowMs + 1000;
    frame_.visible = false;
    imageIndex_ = 1;
    loadPicture(Pending::First);
    moveUp_ = true;
    moveLeft_ = true;
}

// ------------------------------------------------------------ time

void ShowEngine::run(std::int64_t nowMs)
{
    now_ = nowMs;
    pollDecode();
    const int interval = settings_.timer1Interval();
    // Until the first picture stands, the show has not begun to move.
    if (pending_ == Pending::First) {
        timer1Due_ = nowMs + interval;
        timer2Due_ = nowMs + 1000;
        return;
    }
    // After a stall the ticks are not made up in a burst, as a window
    // timer's are not.
    timer1Due_ = std::max(timer1Due_, nowMs - interval);
    timer2Due_ = std::max(timer2Due_, nowMs - 1000);
    while (!ended_) {
        const std::int64_t due = std::min(timer1Due_, timer2Due_);
        if (due > nowMs)
            break;
        now_ = due;
        // Timer1 was started first: at the same moment it ticks first.
        if (timer1Due_ <= timer2Due_) {
            timer1Due_ += interval;
            timer1Tick();
        } else {
            timer2Due_ += 1000;
            timer2Tick();
        }
    }
    now_ = nowMs;
}

std::int64_t ShowEngine::nextTickAt() const { return std::min(timer1Due_, timer2Due_); }

void ShowEngine::timer2Tick()
{
    if (!ended_)
        ++secondCount_;
}

void ShowEngine::timer1Tick()
{
    if (ended_ || pending_ == Pending::First)
        return;
    switch (settings_.mode) {
    case ShowMode::Random:
        randomTick();
        break;
    case ShowMode::Float:
        floatTick();
        break;
    }
}

void ShowEngine::randomTick()
{
    ++tickCount_;
    if (tickCount_ < settings_.displaySeconds)
        return;
    if (shownCount_ != settings_.displayTimes) {
        tickCount_ = 0;
        PlaceAtRandom();
        return;
    }
    const int count = std::max(1, settings_.pictureCount);
    if (++imageIndex_ > count)
        imageIndex_ = 1;
    if (count > 1)
        loadPicture(Pending::Place);
    if (ended_)
        return;
    shownCount_ = 0;
    tickCount_ = 0;
    // Its next tick comes a full interval after the new place.
    timer1Due_ = now_ + settings_.timer1Interval();
    if (pending_ == Pending::Place)
        ++shownCount_;   // placed the moment it is decoded
    else
        PlaceAtRandom();
}

void ShowEngine::floatTick()
{
    // Float mode has no use for TickCount, and would run it past its range
    // in weeks of fast ticks.
    if (secondCount_ >= settings_.changeEvery) {
        // Its next second starts now.
        timer2Due_ = now_ + 1000;
        secondCount_ = 0;
        const int count = std::max(1, settings_.pictureCount);
        if (++imageIndex_ > count)
            imageIndex_ = 1;
        if (count > 1)
            loadPicture(Pending::InPlace);
        if (ended_)
            return;
    }
    FloatStep();
}

// ------------------------------------------------------------ motion

void ShowEngine::PlaceAtRandom()
{
    ++shownCount_;
    if (pending_ == Pending::First)
        return;
    placeRandomly();
    frame_.visible = frame_.picture != nullptr;
}

void ShowEngine::placeRandomly()
{
    // x is drawn first, then y; the top is set before the left.
    const int x = Random(areaWidth_ - frame_.rect.width);
    const int y = Random(areaHeight_ - frame_.rect.height);
    SetPictureTop(y);
    SetPictureLeft(x);
}

void ShowEngine::FloatStep()
{
    // The left and top tests come before the step, the right and bottom ones
    // after it: each axis turns on its own tick.
    PictureRect& r = frame_.rect;
    if (r.left <= 0)
        moveLeft_ = false;
    if (r.top <= 0)
        moveUp_ = false;
    r.left += moveLeft_ ? -5 : 5;
    r.top += moveUp_ ? -5 : 5;
    if (r.left > areaWidth_ - r.width)
        moveLeft_ = true;
    if (r.top > areaHeight_ - r.height)
        moveUp_ = true;
}

// ------------------------------------------------------------ pictures

void ShowEngine::LoadPicture() { loadPicture(Pending::InPlace); }

void ShowEngine::loadPicture(Pending how)
{
    const int count = std::max(1, settings_.pictureCount);
    // A picture that cannot be decoded is reported once; the show goes on
    // with the next one that can.
    for (int tries = 0; tries < count; ++tries) {
        if (!pictures_.exists(imageIndex_)) {
            notify({ShowNotice::Missing, imageIndex_, {}});
            end();
            return;
        }
        if (!undecodable_[std::size_t(imageIndex_)]) {
            pending_ = how;
            std::optional<DecodeResult> result;
            if (ahead_ && ahead_->slot == imageIndex_) {
                result = std::move(ahead_);
                ahead_.reset();
            } else if (decoding_ == imageIndex_) {
                result = takeFinished();
            } else {
                ahead_.reset();
                result = requestDecode(imageIndex_);
            }
            if (!result)
                return;   // shown the moment it is decoded
            if (show(*result, true))
                return;
        }
        if (++imageIndex_ > count)
            imageIndex_ = 1;
    }
    pending_ = Pending::None;
}

bool ShowEngine::show(const DecodeResult& result, bool atItsMoment)
{
    const Pending how = pending_;
    pending_ = Pending::None;
    if (!result.picture) {
        undecodable_[std::size_t(result.slot)] = true;
        notify({ShowNotice::Undecodable, result.slot, result.error});
        return false;
    }
    frame_.picture = result.picture;
    frame_.slot = result.slot;
    // The new picture takes the old one's left and top.
    frame_.rect.width = result.picture->shownWidth();
    frame_.rect.height = result.picture->shownHeight();
    if (how == Pending::First) {
        placeRandomly();
        frame_.visible = true;
        timer1Due_ = now_ + settings_.timer1Interval();
        timer2Due_ = now_ + 1000;
    } else if (how == Pending::Place && !atItsMoment) {
        // Its place was due when it was not ready: it takes one now, and
        // shows only there.
        placeRandomly();
        frame_.visible = true;
    }
    decodeAhead();
    return true;
}

void ShowEngine::pollDecode()
{
    if (decoding_ == 0)
        return;
    std::optional<DecodeResult> result = takeFinished();
    if (!result)
        return;
    if (pending_ != Pending::None && result->slot == imageIndex_) {
        const Pending how = pending_;
        if (!show(*result, false)) {
            if (++imageIndex_ > std::max(1, settings_.pictureCount))
                imageIndex_ = 1;
            loadPicture(how);
        }
        return;
    }
    ahead_ = std::move(result);
}

std::optional<DecodeResult> ShowEngine::takeFinished()
{
    std::optional<DecodeResult> result = worker_.take();
    if (result)
        decoding_ = 0;
    return result;
}

std::optional<DecodeResult> ShowEngine::requestDecode(int slot)
{
    DecodeJob job;
    job.slot = slot;
    try {
        job.source = pictures_.open(slot);
    } catch (const std::exception& e) {
        return DecodeResult{slot, nullptr, failureText(e)};
    }
    job.format = pictures_.format(slot);
    job.areaWidth = areaWidth_;
    job.areaHeight = areaHeight_;
    job.rule = FitRule::LargerThan;
    worker_.start(std::move(job));
    decoding_ = slot;
    return takeFinished();   // done already when decoded inline
}

int ShowEngine::nextSlot(int slot) const
{
    const int count = std::max(1, settings_.pictureCount);
    for (int k = slot % count + 1, tries = 0; tries < count; k = k % count + 1, ++tries)
        if (!undecodable_[std::size_t(k)])
            return k;
    return 0;
}

void ShowEngine::decodeAhead()
{
    // A single picture is never loaded again.
    if (ended_ || settings_.pictureCount <= 1)
        return;
    const int next = nextSlot(imageIndex_);
    if (next == 0 || (ahead_ && ahead_->slot == next) || decoding_ == next)
        return;
    // At most two pictures held: the one shown and the next.
    ahead_.reset();
    // A picture gone meanwhile is told at its moment, not now.
    if (!pictures_.exists(next))
        return;
    if (std::optional<DecodeResult> result = requestDecode(next))
        ahead_ = std::move(result);
}

void ShowEngine::end()
{
    ended_ = true;
    worker_.cancel();
    decoding_ = 0;
    ahead_.reset();
    pending_ = Pending::None;
}

void ShowEngine::notify(ShowNotice notice) { notices_.push_back(std::move(notice)); }

std::optional<ShowNotice> ShowEngine::takeNotice()
{
    if (notices_.empty())
        return std::nullopt;
    ShowNotice n = std::move(notices_.front());
    notices_.erase(notices_.begin());
    return n;
}

// ------------------------------------------------------------ drawing

PictureRect centredIn(int areaWidth, int areaHeight, int width, int height)
{
    PictureRect r;
    r.width = width;
    r.height = height;
    r.top = areaHeight / 2 - height / 2;
    r.left = areaWidth / 2 - width / 2;
    return r;
}

std::vector<PictureRect> changedAreas(const ShowFrame& before, const ShowFrame& after)
{
    if (before.visible == after.visible && before.rect == after.rect && before.picture == after.picture)
        return {};
    std::vector<PictureRect> areas;
    if (before.visible)
        areas.push_back(before.rect);
    if (after.visible && !(before.visible && after.rect == before.rect))
        areas.push_back(after.rect);
    return areas;
}
