#pragma once
// The Wayland protocols the player speaks: the core protocol from
// libwayland's own header, and xdg-shell, viewporter, fractional scale and
// keyboard shortcuts inhibition from headers that wayland-scanner makes at
// build time from Debian's wayland-protocols. Their functions come from
// ClientLibrary.
#include <wayland-client-core.h>
#include <wayland-client-protocol.h>

#include "fractional-scale-v1-client-protocol.h"
#include "keyboard-shortcuts-inhibit-unstable-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace wayland {

// A listener has a place for every event of the protocol's header; those of
// no use here, and of versions not bound, do nothing.
template <typename... A>
void ignore(void*, A...)
{
}

} // namespace wayland
