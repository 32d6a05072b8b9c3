#pragma once
// The show as a Wayland client: the engine's ticks on a poll() loop over the
// compositor's connection, a toplevel on every output (the background
// colour) and the picture on one of them, the first output the compositor
// announced; the ways it ends (a key or a button, a signal, the compositor
// closing the surface or going away) or starts afresh (SIGUSR1).
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

    void outputsChanged() override;
    void pressed() override;
    void arrange();
    void step(std::int64_t now);
    bool waitForEvents(std::int64_t now);
    void lost();

    Connection connection_;
    bool fullScreen_;
    std::string title_;
    std::string program_;
    std::uint32_t background_;
    player::ShowRunner runner_;
    std::vector<std::unique_ptr<Screen>> screens_;
    Screen* showScreen_ = nullptr;
    int areaWidth_ = 0, areaHeight_ = 0;
    ShowFrame drawn_;
    bool opened_ = false;
    Outcome outcome_ = Outcome::Running;
};

} // namespace wayland
