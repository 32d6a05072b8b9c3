#include "wayland/Show.h"

#include "common/Geometry.h"
#include "common/Wakeup.h"
#include "text/PrintableText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <poll.h>

namespace wayland {

using player::Wakeup;

Show::Show(const player::StoreView& store, bool fullScreen, std::string title, std::string program)
    : connection_(*this), fullScreen_(fullScreen), title_(std::move(title)), program_(std::move(program)),
      background_(player::pixelOfColorRef(player::PixelLayout{}, store.settings.BackgroundColor)), runner_(store, [] { Wakeup::wake(); })
{
}

Show::~Show() = default;

std::string Show::open()
{
    if (std::string problem = connection_.open(); !problem.empty())
        return problem;
    opened_ = true;
    arrange();
    return {};
}

void Show::outputsChanged() { arrange(); }

void Show::pressed()
{
    if (fullScreen_)
        outcome_ = Outcome::Ended;
}

void Show::arrange()
{
    if (!opened_)
        return;
    Screen* first = nullptr;
    if (!fullScreen_) {
        if (screens_.empty())
            screens_.push_back(std::make_unique<Screen>(connection_, nullptr, background_, title_));
        first = screens_.front().get();
    } else {
        // A screen for every output there is, none for one that went.
        const std::size_t before = screens_.size();
        std::erase_if(screens_, [this](const std::unique_ptr<Screen>& s) {
            if (s->output()->ready)
                return false;
            if (s.get() == showScreen_)
                showScreen_ = nullptr;
            return true;
        });
        if (screens_.size() != before)
            for (const auto& s : screens_)
                s->claimOutput();
        for (const auto& o : connection_.outputs) {
            if (!o->ready)
                continue;
            auto it = std::find_if(screens_.begin(), screens_.end(), [&o](const auto& s) { return s->output() == o.get(); });
            if (it == screens_.end())
                it = screens_.insert(screens_.end(), std::make_unique<Screen>(connection_, o.get(), background_, title_));
            if (!first)
                first = it->get();
        }
    }
    for (const auto& s : screens_)
        s->rescale();
    // The show on the first output: when that one goes, on the next.
    if (first != showScreen_) {
        if (showScreen_)
            showScreen_->carryShow(false);
        showScreen_ = first;
        if (showScreen_)
            showScreen_->carryShow(true);
    }
}

void Show::step(std::int64_t now)
{
    if (Wakeup::signalled())
        outcome_ = Outcome::Ended;
    for (const auto& s : screens_)
        if (s->closed())
            outcome_ = Outcome::Ended;
    if (outcome_ != Outcome::Running)
        return;
    if (Wakeup::takeReset())
        runner_.restart(now);
    if (showScreen_ && showScreen_->pixelWidth() > 0 &&
        (showScreen_->pixelWidth() != areaWidth_ || showScreen_->pixelHeight() != areaHeight_)) {
        areaWidth_ = showScreen_->pixelWidth();
        areaHeight_ = showScreen_->pixelHeight();
        runner_.setArea(areaWidth_, areaHeight_, now);
    }
    runner_.run(now, [this](const std::string& text, bool) { printLines(stderr, program_ + ": " + text); });
    if (runner_.failed()) {
        outcome_ = Outcome::Failed;
        return;
    }
    const ShowFrame& f = runner_.frame();
    if (showScreen_ && runner_.started() && (showScreen_->wantsDraw() || !changedAreas(drawn_, f).empty()) && showScreen_->draw(f))
        drawn_ = f;
}

int Show::run()
{
    Wakeup::loopRuns();
    wl_display* display = connection_.display();
    const int fd = wl_display_get_fd(display);
    while (outcome_ == Outcome::Running) {
        if (wl_display_dispatch_pending(display) < 0) {
            lost();
            break;
        }
        step(player::nowMs());
        if (outcome_ != Outcome::Running)
            break;
        // Events that came meanwhile are handled before the wait.
        if (wl_display_prepare_read(display) != 0)
            continue;
        bool backlog = false;
        if (wl_display_flush(display) < 0) {
            if (errno != EAGAIN) {
                wl_display_cancel_read(display);
                lost();
                break;
            }
            backlog = true;
        }
        pollfd fds[2] = {{fd, short(POLLIN | (backlog ? POLLOUT : 0)), 0}, {Wakeup::readEnd(), POLLIN, 0}};
        const std::int64_t timeout = std::clamp<std::int64_t>(runner_.nextTickAt() - player::nowMs(), 0, 1000);
        const int ready = ::poll(fds, 2, int(timeout));
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP))) {
            if (wl_display_read_events(display) < 0) {
                lost();
                break;
            }
        } else {
            wl_display_cancel_read(display);
        }
        if (ready > 0 && (fds[1].revents & POLLIN))
            Wakeup::drain();
    }
    // The decode under way stops; nobody waits for it.
    runner_.end();
    if (outcome_ == Outcome::Ended)
        wl_display_flush(display);
    return outcome_ == Outcome::Failed ? 1 : 0;
}

void Show::lost()
{
    const char* why = wl_display_get_error(connection_.display()) == EPROTO ? "The Wayland compositor refused the screensaver"
                                                                            : "The Wayland compositor closed the connection";
    printLines(stderr, program_ + ": " + why + "; the screensaver ends.");
    outcome_ = Outcome::Failed;
}

} // namespace wayland
