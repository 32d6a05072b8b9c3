#pragma once
// The show as a Wayland client: full screen a toplevel on every output, each
// with a show of its own (an output that comes gets one, one that goes takes
// its show along), or one ordinary window; the engines' ticks on a poll()
// loop over the compositor's connection, and the ways it ends (a key or a
// button, a signal, the compositor closing a surface or going away) or
// starts afresh (SIGUSR1).
#include "common/CommandLine.h"
#include "common/ShowRunner.h"
#include "common/Store.h"
#include "wayland/Connection.h"
#include "wayland/Screen.h"

#include <memory>
#include <string>
#include <vector>

namespace wayland {

class Show final : public Connection::Listener {
public:
    // Full screen, or (`fullScreen` false) in an ordinary window titled
    // `title`, where input does not end it. `store` lies in the player's
    // own file; `program` names the player in messages.
    Show(const player::StoreView& store, bool fullScreen, std::string title, std::string program);
    ~Show() override;

    // Connects; empty when the show can run, else why not, for a person.
    std::string open();
    // Runs until the show ends: 0 when it was ended, 1 when it could not go on.
    int run();

private:
    enum class Outcome { Running, Ended, Failed };

    // A toplevel and its show.
    struct ScreenShow {
        std::unique_ptr<Screen> screen;
        std::unique_ptr<player::ShowRunner> runner;
        ShowFrame drawn;
    };

    void outputsChanged() override;
    void pressed() override;
    void arrange();
    void add(Output* output);
    void step(std::int64_t now);
    void stepShow(ScreenShow& s, std::int64_t now);
    std::int64_t wakeAt() const;
    bool waitForEvents(std::int64_t now);
    void lost();

    Connection connection_;
    bool fullScreen_;
    std::string title_;
    std::string program_;
    player::StoreView store_;
    std::uint32_t background_;
    std::vector<ScreenShow> screens_;
    player::TellOnce told_;
    bool opened_ = false;
    Outcome outcome_ = Outcome::Running;
};

} // namespace wayland
