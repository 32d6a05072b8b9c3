#pragma once
// libwayland-client, loaded when the player first runs on Wayland rather than
// linked: a .SCR must start, and show itself through X11, on a machine
// without it. The functions that the protocols' generated code calls are
// defined here and forward to the loaded library.
#include <string>

namespace wayland {

// The soname the player loads.
inline constexpr const char* clientLibraryName = "libwayland-client.so.0";

// Loads the library once; empty when it is there, else why not, for a person.
std::string loadClientLibrary();

} // namespace wayland
