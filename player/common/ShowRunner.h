#pragma once
// The show engine as the players on X11 and Wayland drive it: begun once
// the area's size is known, begun afresh on a reset or when a new size wants
// the picture at another scale, and what it reports turned into the texts a
// person reads.
#include "common/Store.h"
#include "common/StorePictures.h"
#include "engine/ShowEngine.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace player {

// Milliseconds of a clock that only goes forward.
std::int64_t nowMs();

class ShowRunner {
public:
    // `store` lies in the player's own file, mapped privately (its pages go
    // back after each decode). `wake` is called on the decoder's worker when
    // a picture is ready.
    ShowRunner(const StoreView& store, std::function<void()> wake);
    ShowRunner(const ShowRunner&) = delete;
    ShowRunner& operator=(const ShowRunner&) = delete;

    // The area's size in pixels; the first one starts the show.
    void setArea(int width, int height, std::int64_t now);
    // Starts again with the first picture (a reset, or a new size).
    void restart(std::int64_t now);
    bool started() const { return engine_ != nullptr; }

    // Runs what is due. `tell` is given each text for the person, in the
    // order things happened; true when it ended the show.
    void run(std::int64_t now, const std::function<void(const std::string& text, bool ends)>& tell);
    // The show cannot go on (a picture gone from the store).
    bool failed() const { return failed_; }
    // Ends it: the decode under way stops, nobody waits for it.
    void end();

    const ShowFrame& frame() const;
    // When run is wanted next.
    std::int64_t nextTickAt() const;

private:
    StorePictures pictures_;
    ShowSettings settings_;
    std::function<void()> wake_;
    std::unique_ptr<ShowEngine> engine_;
    int width_ = 0, height_ = 0;
    bool failed_ = false;
};

// The texts of several screens' shows, each told once: every screen meets
// the same undecodable picture in its turn. Forgotten when the shows start
// again, as a single show tells them again then.
class TellOnce {
public:
    bool first(const std::string& text) { return told_.insert(text).second; }
    void forget() { told_.clear(); }

private:
    std::set<std::string> told_;
};

} // namespace player
