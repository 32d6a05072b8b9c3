#include "x11/Show.h"

#include "common/Wakeup.h"
#include "text/PrintableText.h"
#include "x11/MessageBar.h"
#include "x11/XWindows.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstdio>
#include <poll.h>

namespace x11 {

using player::nowMs;
using player::Wakeup;

namespace {
// A burst of resizes (a window being dragged larger) is taken as one.
constexpr std::int64_t reshapeDelayMs = 100;
// How soon what a host painted over the show is gone again.
constexpr std::int64_t refreshEveryMs = 500;
} // namespace

Show::Show(Display* display, ShowTarget target, const player::StoreView& store, std::string program)
    : display_(display), target_(target), store_(store), colorRef_(store.settings.BackgroundColor), program_(std::move(program))
{
}

Show::~Show() = default;

int Show::run()
{
    Wakeup::loopRuns();
    if (const std::optional<int> status = prepare())
        return *status;
    loop();
    // The decodes under way stop; nobody waits for them.
    for (ScreenShow& s : screens_)
        s.runner->end();
    return outcome_ == Outcome::Failed ? 1 : 0;
}

std::optional<int> Show::prepare()
{
    XWindowAttributes a{};
    if (!XGetWindowAttributes(display_, target_.window, &a)) {
        takeXError();
        char window[32];
        std::snprintf(window, sizeof window, "0x%lx", static_cast<unsigned long>(target_.window));
        printLines(stderr, program_ + ": The window " + window + " cannot be drawn into: there is no such window.");
        return 1;
    }
    painter_ = std::make_unique<Painter>(display_, target_.window, a, colorRef_, target_.desktop);
    if (!painter_->problem().empty()) {
        printLines(stderr, program_ + ": " + painter_->problem());
        return 1;
    }
    width_ = a.width;
    height_ = a.height;
    root_ = a.root;
    long mask = StructureNotifyMask;
    if (target_.endOnInput)
        mask |= KeyPressMask | ButtonPressMask;
    XSelectInput(display_, target_.window, mask);
    if (target_.fullScreen) {
        XSelectInput(display_, a.root, StructureNotifyMask);
        // Monitors added, taken away or moved.
        int error = 0;
        if (XRRQueryExtension(display_, &randrEvents_, &error))
            XRRSelectInput(display_, a.root, RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
        else
            randrEvents_ = -1;
    }
    // A window destroyed before it was watched sends no DestroyNotify.
    XSync(display_, False);
    if (!XGetWindowAttributes(display_, target_.window, &a)) {
        takeXError();
        return 0;
    }
    if (target_.ownWindow) {
        XSetWindowBackground(display_, target_.window, painter_->backgroundPixel());
        deleteWindow_ = deleteWindowAtom(display_);
        bar_ = std::make_unique<MessageBar>(display_, painter_->canvas());
        XMapRaised(display_, target_.window);
        if (target_.endOnInput && !grabInput(display_, target_.window, [] { return Wakeup::signalled(); }) && !Wakeup::signalled())
            printLines(stderr, program_ + ": another program holds the keyboard or the mouse; a key or a button may not end the show.");
    }
    reshapeAt_ = 0;
    reshape(nowMs());
    return std::nullopt;
}

void Show::loop()
{
    while (outcome_ == Outcome::Running) {
        while (outcome_ == Outcome::Running && XPending(display_)) {
            XEvent e;
            XNextEvent(display_, &e);
            handle(e, nowMs());
        }
        if (Wakeup::signalled() && outcome_ == Outcome::Running)
            outcome_ = Outcome::Ended;
        if (outcome_ != Outcome::Running)
            break;
        const std::int64_t now = nowMs();
        if (Wakeup::takeReset()) {
            told_.forget();
            for (ScreenShow& s : screens_)
                s.runner->restart(now);
        }
        if (reshapeAt_ != 0 && now >= reshapeAt_)
            reshape(now);
        runShows(now);
        if (bar_)
            bar_->tick(now);
        paint(now);
        if (outcome_ != Outcome::Running)
            break;
        // Events that Xlib has read already do not show on its connection.
        if (XPending(display_))
            continue;
        pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {Wakeup::readEnd(), POLLIN, 0}};
        const std::int64_t timeout = std::clamp<std::int64_t>(wakeAt() - nowMs(), 0, 1000);
        if (::poll(fds, 2, int(timeout)) > 0 && (fds[1].revents & POLLIN))
            Wakeup::drain();
    }
}

void Show::handle(const XEvent& e, std::int64_t now)
{
    switch (e.type) {
    case Expose:
        // The show's own windows are painted by the server from their backgrounds.
        if (bar_ && bar_->owns(e.xexpose.window) && e.xexpose.count == 0)
            bar_->paint();
        break;
    case ConfigureNotify:
        if (e.xconfigure.window == target_.window) {
            if (e.xconfigure.width != width_ || e.xconfigure.height != height_) {
                width_ = e.xconfigure.width;
                height_ = e.xconfigure.height;
                reshapeAt_ = now + reshapeDelayMs;
            }
        } else if (target_.fullScreen && e.xconfigure.window == root_) {
            // The screen itself changed size (a monitor added, say).
            XMoveResizeWindow(display_, target_.window, 0, 0, unsigned(e.xconfigure.width), unsigned(e.xconfigure.height));
        }
        break;
    case DestroyNotify:
        if (e.xdestroywindow.window == target_.window)
            outcome_ = Outcome::Ended;
        break;
    case KeyPress:
    case ButtonPress:
        if (target_.endOnInput)
            outcome_ = Outcome::Ended;
        break;
    case ClientMessage:
        if (deleteWindow_ && Atom(e.xclient.data.l[0]) == deleteWindow_)
            outcome_ = Outcome::Ended;
        break;
    default:
        if (randrEvents_ >= 0 && e.type >= randrEvents_ && e.type <= randrEvents_ + RRNotify) {
            // Xlib's idea of the screen follows the server's.
            XRRUpdateConfiguration(const_cast<XEvent*>(&e));
            reshapeAt_ = now + reshapeDelayMs;
        }
        break;
    }
}

void Show::reshape(std::int64_t now)
{
    reshapeAt_ = 0;
    painter_->setSize(width_, height_);
    arrange(player::showAreasIn(rectInRoot(display_, target_.window, width_, height_), monitorsOf(display_, root_), target_.screens), now);
}

void Show::arrange(const std::vector<PictureRect>& areas, std::int64_t now)
{
    // A show whose area is still there goes on as it was; the others take
    // the new areas in turn (a window resized keeps its show), and those
    // left over end with their monitors.
    std::vector<ScreenShow> left = std::move(screens_);
    screens_.clear();
    std::vector<PictureRect> open;
    for (const PictureRect& area : areas) {
        const auto same = std::find_if(left.begin(), left.end(), [&area](const ScreenShow& s) { return s.area == area; });
        if (same == left.end()) {
            open.push_back(area);
            continue;
        }
        screens_.push_back(std::move(*same));
        left.erase(same);
    }
    for (const PictureRect& area : open) {
        if (left.empty()) {
            screens_.push_back({area, std::make_unique<Stage>(*painter_), std::make_unique<player::ShowRunner>(store_, [] { Wakeup::wake(); })});
        } else {
            screens_.push_back(std::move(left.back()));
            left.pop_back();
            screens_.back().area = area;
        }
    }
    for (ScreenShow& s : screens_) {
        s.stage->place(s.area);
        s.runner->setArea(s.area.width, s.area.height, now);
    }
}

void Show::runShows(std::int64_t now)
{
    for (ScreenShow& s : screens_) {
        s.runner->run(now, [this, now, &s](const std::string& text, bool ends) {
            if (!told_.first(text))
                return;
            printLines(stderr, program_ + ": " + text);
            if (bar_ && !ends)
                bar_->show(text, s.area, now);
        });
        if (s.runner->failed())
            outcome_ = Outcome::Failed;
    }
}

void Show::paint(std::int64_t now)
{
    for (ScreenShow& s : screens_)
        s.stage->show(s.runner->frame());
    if (now >= refreshAt_) {
        painter_->refresh();
        for (ScreenShow& s : screens_)
            s.stage->refresh();
        refreshAt_ = now + refreshEveryMs;
    }
    XFlush(display_);
}

std::int64_t Show::wakeAt() const
{
    std::int64_t at = refreshAt_;
    for (const ScreenShow& s : screens_)
        at = std::min(at, s.runner->nextTickAt());
    if (reshapeAt_ != 0)
        at = std::min(at, reshapeAt_);
    if (bar_ && bar_->dueAt() != 0)
        at = std::min(at, bar_->dueAt());
    return at;
}

} // namespace x11
