#pragma once
// The show in one X window: a show on each of its areas (one, or one a
// monitor of the player's own full-screen window), the engines' ticks on a
// poll() loop, their frames shown by the Painter's stages, and the ways it
// ends (a key or a button where input ends it, a signal, the window
// destroyed or closed) or starts afresh (SIGUSR1).
#include "common/Geometry.h"
#include "common/ShowRunner.h"
#include "common/Store.h"
#include "engine/ShowEngine.h"
#include "x11/Painter.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace x11 {

struct ShowTarget {
    ::Window window = 0;
    bool ownWindow = false;    // made by the player: messages may show in it
    bool endOnInput = false;   // full screen: a key or a button ends the show
    bool fullScreen = false;   // follows the root window's size and its monitors
    bool desktop = false;      // the (virtual) root: the show stays below the programs' windows
    player::ScreenPolicy screens = player::ScreenPolicy::One;
};

class Show {
public:
    // `store` lies in the player's own file, mapped privately (its pages go
    // back after each decode); `program` names the player in messages on
    // standard error.
    Show(Display* display, ShowTarget target, const player::StoreView& store, std::string program);
    ~Show();
    Show(const Show&) = delete;
    Show& operator=(const Show&) = delete;

    // Runs until the show ends; the exit status: 0 when it was ended (input,
    // signal, window gone), 1 when it could not go on.
    int run();

private:
    enum class Outcome { Running, Ended, Failed };

    // A show on one area of the window.
    struct ScreenShow {
        PictureRect area;   // in the window
        std::unique_ptr<Stage> stage;
        std::unique_ptr<player::ShowRunner> runner;
    };

    // Watches and shows the window; a status when the show cannot begin.
    std::optional<int> prepare();
    void loop();
    void handle(const XEvent& event, std::int64_t nowMs);
    void reshape(std::int64_t nowMs);
    void arrange(const std::vector<PictureRect>& areas, std::int64_t nowMs);
    void runShows(std::int64_t nowMs);
    void paint(std::int64_t nowMs);
    std::int64_t wakeAt() const;

    Display* display_;
    ::Window root_ = 0;
    ShowTarget target_;
    player::StoreView store_;
    std::uint32_t colorRef_;
    std::string program_;
    std::unique_ptr<Painter> painter_;
    std::vector<ScreenShow> screens_;   // after the painter: their stages go first
    player::TellOnce told_;
    std::unique_ptr<class MessageBar> bar_;
    int width_ = 0, height_ = 0;
    int randrEvents_ = -1;         // XRandR's first event code, when it is watched
    std::int64_t reshapeAt_ = 0;   // a resize waits for the last of a burst
    std::int64_t refreshAt_ = 0;
    Atom deleteWindow_ = 0;
    Outcome outcome_ = Outcome::Running;
};

} // namespace x11
