#include "wayland/Connection.h"

#include "wayland/ClientLibrary.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace wayland {

namespace {

Connection& of(void* data) { return *static_cast<Connection*>(data); }


const wl_registry_listener registryListener = {
    [](void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
        of(data).global(registry, name, interface, version);
    },
    [](void* data, wl_registry*, std::uint32_t name) { of(data).globalGone(name); },
};

const xdg_wm_base_listener wmBaseListener = {
    [](void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

Output& outputOf(void* data) { return *static_cast<Output*>(data); }

const wl_output_listener outputListener = {
    ignore<wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, const char*, const char*, std::int32_t>,
    [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
        if (flags & WL_OUTPUT_MODE_CURRENT) {
            outputOf(data).modeWidth = width;
            outputOf(data).modeHeight = height;
        }
    },
    [](void* data, wl_output*) { outputOf(data).connection->outputReady(outputOf(data)); },
    [](void* data, wl_output*, std::int32_t factor) { outputOf(data).scale = std::max(1, factor); },
    ignore<wl_output*, const char*>,
    ignore<wl_output*, const char*>,
};

const wl_seat_listener seatListener = {
    [](void* data, wl_seat*, std::uint32_t capabilities) { of(data).seatCapabilities(capabilities); },
    ignore<wl_seat*, const char*>,
};

const wl_keyboard_listener keyboardListener = {
    // The keymap is of no use: any key ends the show.
    [](void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) { ::close(fd); },
    ignore<wl_keyboard*, std::uint32_t, wl_surface*, wl_array*>,
    ignore<wl_keyboard*, std::uint32_t, wl_surface*>,
    [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
        if (state == WL_KEYBOARD_KEY_STATE_PRESSED)
            of(data).pressed();
    },
    ignore<wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t>,
    ignore<wl_keyboard*, std::int32_t, std::int32_t>,
};

const wl_pointer_listener pointerListener = {
    // No cursor image: the pointer is hidden over every surface of ours.
    [](void*, wl_pointer* pointer, std::uint32_t serial, wl_surface*, wl_fixed_t, wl_fixed_t) {
        wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    },
    ignore<wl_pointer*, std::uint32_t, wl_surface*>,
    ignore<wl_pointer*, std::uint32_t, wl_fixed_t, wl_fixed_t>,
    [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
        if (state == WL_POINTER_BUTTON_STATE_PRESSED)
            of(data).pressed();
    },
    ignore<wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t>,
    ignore<wl_pointer*>,
    ignore<wl_pointer*, std::uint32_t>,
    ignore<wl_pointer*, std::uint32_t, std::uint32_t>,
    ignore<wl_pointer*, std::uint32_t, std::int32_t>,
    ignore<wl_pointer*, std::uint32_t, std::int32_t>,
};

template <typename T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface, std::uint32_t offered, std::uint32_t wanted)
{
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

} // namespace

Connection::Connection(Listener& listener) : listener_(listener) {}

Connection::~Connection()
{
    // The compositor takes back whatever is left with the connection.
    if (display_)
        wl_display_disconnect(display_);
}

std::string Connection::open()
{
    if (std::string problem = loadClientLibrary(); !problem.empty())
        return problem;
    display_ = wl_display_connect(nullptr);
    if (!display_) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        return std::string("the Wayland compositor ") + (name && *name ? name : "wayland-0") + " cannot be reached";
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &registryListener, this);
    // The globals, then what binding them told (the outputs' properties).
    if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0)
        return "the Wayland compositor closed the connection at once";
    std::string missing;
    for (const auto& [have, name] : {std::pair<bool, const char*>{compositor != nullptr, "wl_compositor"},
                                     {subcompositor != nullptr, "wl_subcompositor"},
                                     {shm != nullptr, "wl_shm"},
                                     {wmBase != nullptr, "xdg_wm_base"}})
        if (!have)
            missing += std::string(missing.empty() ? "" : ", ") + name;
    if (!missing.empty())
        return "the Wayland compositor lacks " + missing;
    return {};
}

void Connection::global(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version)
{
    const auto is = [interface](const wl_interface& i) { return std::strcmp(interface, i.name) == 0; };
    if (is(wl_compositor_interface)) {
        // Version 4 takes damage in the buffer's pixels.
        compositor = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
        compositorVersion = std::min(version, 4u);
    } else if (is(wl_subcompositor_interface)) {
        subcompositor = bind<wl_subcompositor>(registry, name, &wl_subcompositor_interface, version, 1);
    } else if (is(wl_shm_interface)) {
        shm = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (is(xdg_wm_base_interface)) {
        wmBase = bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 1);
        xdg_wm_base_add_listener(wmBase, &wmBaseListener, this);
    } else if (is(wp_viewporter_interface)) {
        viewporter = bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
    } else if (is(wp_fractional_scale_manager_v1_interface)) {
        fractionalScale = bind<wp_fractional_scale_manager_v1>(registry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (is(zwp_keyboard_shortcuts_inhibit_manager_v1_interface)) {
        shortcutsInhibit = bind<zwp_keyboard_shortcuts_inhibit_manager_v1>(registry, name, &zwp_keyboard_shortcuts_inhibit_manager_v1_interface,
                                                                           version, 1);
    } else if (is(wl_seat_interface) && !seat_) {
        // One seat: the one a person sits at.
        seat_ = bind<wl_seat>(registry, name, &wl_seat_interface, version, 3);
        wl_seat_add_listener(seat_, &seatListener, this);
    } else if (is(wl_output_interface)) {
        auto output = std::make_unique<Output>();
        output->connection = this;
        output->name = name;
        // Version 2 tells the scale and when all is told; 3 can be released.
        output->proxy = bind<wl_output>(registry, name, &wl_output_interface, version, 3);
        wl_output_add_listener(output->proxy, &outputListener, output.get());
        outputs.push_back(std::move(output));
        if (version < 2)
            outputReady(*outputs.back());
    }
}

void Connection::outputReady(Output& output)
{
    output.ready = true;
    listener_.outputsChanged();
}

void Connection::globalGone(std::uint32_t name)
{
    const auto it = std::find_if(outputs.begin(), outputs.end(), [name](const auto& o) { return o->name == name; });
    if (it == outputs.end())
        return;
    // Out of the list before the show hears of it, so that no screen counts
    // it among the outputs it is on; alive until the screens on it are gone.
    const std::unique_ptr<Output> gone = std::move(*it);
    outputs.erase(it);
    gone->ready = false;
    listener_.outputsChanged();
    if (wl_output_get_version(gone->proxy) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(gone->proxy);
    else
        wl_output_destroy(gone->proxy);
}

void Connection::seatCapabilities(std::uint32_t capabilities)
{
    const bool v3 = wl_seat_get_version(seat_) >= WL_KEYBOARD_RELEASE_SINCE_VERSION;
    const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (keyboard && !keyboard_) {
        keyboard_ = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard_, &keyboardListener, this);
    } else if (!keyboard && keyboard_) {
        v3 ? wl_keyboard_release(keyboard_) : wl_keyboard_destroy(keyboard_);
        keyboard_ = nullptr;
    }
    const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (pointer && !pointer_) {
        pointer_ = wl_seat_get_pointer(seat_);
        wl_pointer_add_listener(pointer_, &pointerListener, this);
    } else if (!pointer && pointer_) {
        v3 ? wl_pointer_release(pointer_) : wl_pointer_destroy(pointer_);
        pointer_ = nullptr;
    }
}

} // namespace wayland
