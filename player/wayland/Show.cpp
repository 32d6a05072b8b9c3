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
    : connection_(*this), fullScreen_(fullScreen), title_(std::move(title)), program_(std::move(program)), store_(store),
      background_(player::pixelOfColorRef(player::PixelLayout{}, store.settings.BackgroundColor))
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
    if (!fullScreen_) {
        if (screens_.empty())
            add(nullptr);
    } else {
        // A screen for every output there is, none for one that went.
        const std::size_t before = screens_.size();
        std::erase_if(screens_, [](const ScreenShow& s) { return !s.screen->output()->ready; });
        if (screens_.size() != before)
            for (const ScreenShow& s : screens_)
                s.screen->claimOutput();
        for (const auto& o : connection_.outputs)
            if (o->ready && std::none_of(screens_.begin(), screens_.end(), [&o](const ScreenShow& s) { return s.screen->output() == o.get(); }))
                add(o.get());
    }
    for (const ScreenShow& s : screens_)
        s.screen->rescale();
}

void Show::add(Output* output)
{
    screens_.push_back({std::make_unique<Screen>(connection_, output, background_, title_),
                        std::make_unique<player::ShowRunner>(store_, [] { Wakeup::wake(); }), {}});
}

void Show::step(std::int64_t now)
{
    if (Wakeup::signalled())
        outcome_ = Outcome::Ended;
    for (const ScreenShow& s : screens_)
        if (s.screen->closed())
            outcome_ = Outcome::Ended;
    if (outcome_ != Outcome::Running)
        return;
    const bool reset = Wakeup::takeReset();
    if (reset)
        told_.forget();
    for (ScreenShow& s : screens_) {
        if (reset)
            s.runner->restart(now);
        stepShow(s, now);
        if (outcome_ != Outcome::Running)
            return;
    }
}

void Show::stepShow(ScreenShow& s, std::int64_t now)
{
    // Its show begins once the compositor has told the screen's size.
    if (s.screen->pixelWidth() > 0)
        s.runner->setArea(s.screen->pixelWidth(), s.screen->pixelHeight(), now);
    s.runner->run(now, [this](const std::string& text, bool) {
        if (told_.first(text))
            printLines(stderr, program_ + ": " + text);
    });
    if (s.runner->failed()) {
        outcome_ = Outcome::Failed;
        return;
    }
    const ShowFrame& f = s.runner->frame();
    if (s.runner->started() && (s.screen->wantsDraw() || !changedAreas(s.drawn, f).empty()) && s.screen->draw(f))
        s.drawn = f;
}

std::int64_t Show::wakeAt() const
{
    std::int64_t at = player::nowMs() + 1000;
    for (const ScreenShow& s : screens_)
        at = std::min(at, s.runner->nextTickAt());
    return at;
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
        const std::int64_t timeout = std::clamp<std::int64_t>(wakeAt() - player::nowMs(), 0, 1000);
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
    // The decodes under way stop; nobody waits for them.
    for (ScreenShow& s : screens_)
        s.runner->end();
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
