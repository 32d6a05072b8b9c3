#pragma once
// The command line of a compiled screensaver, as Windows and XScreenSaver
// start one. A pure function of the arguments, so every player reads them
// alike:
//   (nothing), /s            the show full screen
//   /c, /c:N                 what the screensaver holds
//   /p N, /p:N               into the given window (Windows preview)
//   --window-id N            into the given X window (hex 0x... or decimal);
//                            wins over --root, as the settings' preview gives both
//   --root                   into $XSCREENSAVER_WINDOW, the virtual root or the root
//   --window                 in an ordinary window of its own
//   --install, --uninstall   add to or remove from ~/.xscreensaver
//   --x11, --wayland         show through X11, or as a Wayland client; else
//                            Wayland when WAYLAND_DISPLAY is set and no X
//                            window or X display was named (usesWayland)
// XScreenSaver's standard hack options (-fps, -visual V, -install, ...) are
// accepted with one dash or two and change nothing; options come in any order.
// Note: -install with one dash is XScreenSaver's colormap option, not ours.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace player {

enum class RunMode { FullScreen, Config, IntoWindow, Root, Window, Install, Uninstall, Help, Usage };
enum class Windowing { Either, X11, Wayland };

struct PlayerArgs {
    RunMode mode = RunMode::FullScreen;
    Windowing through = Windowing::Either;
    std::uint64_t windowId = 0;    // IntoWindow; Config when a parent was given (/c:N)
    std::string displayName;       // -display D, when given
    std::string problem;           // Usage: what was wrong
};

// `args` without the program's name.
PlayerArgs parseCommandLine(const std::vector<std::string_view>& args);
PlayerArgs parseCommandLine(int argc, const char* const* argv);

// Whether the show runs as a Wayland client: when asked, else when
// `waylandDisplay` ($WAYLAND_DISPLAY) names one and nothing of X11 was named
// (a window to draw into, --root, -display), as those are X conventions.
bool usesWayland(const PlayerArgs& args, const char* waylandDisplay);

// The usage line, for standard error (status 2) or, after --help, standard output.
std::string usageText(std::string_view program);

// A window id as XScreenSaver and Windows give one: "0x" and hex digits, or
// decimal digits; 1 to 0xFFFFFFFF. Nothing else, and no octal.
bool parseWindowId(std::string_view text, std::uint64_t& id);

} // namespace player
