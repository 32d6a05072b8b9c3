#pragma once
// The show in one X window: the engine's ticks on a poll() loop, its frames
// shown by the Painter, and the ways it ends (a key or a button where input
// ends it, a signal, the window destroyed or closed) or starts afresh
// (SIGUSR1).
#include "common/ShowRunner.h"
#include "common/Store.h"
#include "engine/ShowEngine.h"
#include "x11/Painter.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace x11 {

struct ShowTarget {
    ::Window window = 0;
    bool ownWindow = false;    // made by the player: messages may show in it
    bool endOnInput = false;   // full screen: a key or a button ends the show
    bool fullScreen = false;   // follows the root window's size
    bool desktop = false;      // the (virtual) root: the show stays below the programs' windows
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

    // Watches and shows the window; a status when the show cannot begin.
    std::optional<int> prepare();
    void loop();
    void handle(const XEvent& event, std::int64_t nowMs);
    void reshape(std::int64_t nowMs);
    void paint(std::int64_t nowMs);
    std::int64_t wakeAt() const;

    Display* display_;
    ::Window root_ = 0;
    ShowTarget target_;
    player::ShowRunner runner_;
    std::uint32_t colorRef_;
    std::string program_;
    std::unique_ptr<Painter> painter_;
    std::unique_ptr<class MessageBar> bar_;
    int width_ = 0, height_ = 0;
    PictureRect area_;
    std::int64_t reshapeAt_ = 0;   // a resize waits for the last of a burst
    std::int64_t refreshAt_ = 0;
    Atom deleteWindow_ = 0;
    Outcome outcome_ = Outcome::Running;
};

} // namespace x11
