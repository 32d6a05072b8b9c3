// The protocols' interface tables, written by wayland-scanner at build time,
// compiled here as C++: the headers come first, so that the tables keep the
// C names they are declared with. The core protocol's tables are made here
// too, as libwayland-client is not linked.
#include "wayland/Protocols.h"

#include "wayland-core-protocol.c"
#include "fractional-scale-v1-protocol.c"
#include "keyboard-shortcuts-inhibit-unstable-v1-protocol.c"
#include "viewporter-protocol.c"
#include "xdg-shell-protocol.c"
