#pragma once
// The player's connection to a Wayland compositor: the globals it binds, the
// outputs as they come and go, and the seat's keyboard and pointer (whose
// presses it reports, and over whose surfaces it hides the pointer).
#include "wayland/Protocols.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wayland {

class Connection;

struct Output {
    Connection* connection = nullptr;
    wl_output* proxy = nullptr;
    std::uint32_t name = 0;   // the registry's
    int scale = 1;            // wl_output's integer scale
    int modeWidth = 0;        // its current mode, in pixels
    int modeHeight = 0;
    bool ready = false;       // everything told at least once
};

class Connection {
public:
    // What the show is told of.
    class Listener {
    public:
        virtual ~Listener() = default;
        // An output came, changed, or is going (no longer ready and out of
        // `outputs`; destroyed when this returns).
        virtual void outputsChanged() = 0;
        // A key or a pointer button was pressed.
        virtual void pressed() = 0;
    };

    explicit Connection(Listener& listener);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects to $WAYLAND_DISPLAY and binds what the player needs; empty
    // when done, else why not, for a person.
    std::string open();
    wl_display* display() const { return display_; }
    wl_seat* seat() const { return seat_; }

    wl_compositor* compositor = nullptr;
    std::uint32_t compositorVersion = 0;
    wl_subcompositor* subcompositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wp_viewporter* viewporter = nullptr;                        // may be missing
    wp_fractional_scale_manager_v1* fractionalScale = nullptr;   // may be missing
    // May be missing: then the keys the compositor binds stay its own.
    zwp_keyboard_shortcuts_inhibit_manager_v1* shortcutsInhibit = nullptr;
    // In the order the compositor announced them.
    std::vector<std::unique_ptr<Output>> outputs;

    // The listeners' ends, public for the C callbacks.
    void global(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version);
    void globalGone(std::uint32_t name);
    void outputReady(Output& output);
    void seatCapabilities(std::uint32_t capabilities);
    void pressed() { listener_.pressed(); }

private:
    Listener& listener_;
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_pointer* pointer_ = nullptr;
};

} // namespace wayland
