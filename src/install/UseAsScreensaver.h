#pragma once
// "Use as My Screensaver" and the player's --install: the .SCR, where it lies,
// made the one screensaver that the desktop's screensaver host shows, through
// the host's own settings; and one text that says what was done, where the
// file is, after how long it starts and how to undo it, or what is missing
// and the one thing to do.
#include "install/Install.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace install {

// A screensaver host that runs for this user on this display.
struct RunningHost {
    std::string name;   // "xscreensaver", "mate-screensaver", "xfce4-screensaver"
    pid_t pid = 0;
};

// The desktop the user is in.
struct Session {
    std::string desktop;            // XDG_CURRENT_DESKTOP, e.g. "MATE", "ubuntu:GNOME", "sway"
    bool wayland = false;           // a Wayland session
    bool sway = false;              // sway itself (its configuration file takes the line)
    std::vector<RunningHost> hosts;

    static Session current();
};

struct UseRequest {
    InstallRequest install;         // the .SCR's absolute path and the home folder
    std::string again;              // how to try once more, e.g. "press Use as My Screensaver again"
    Session session;
};

struct UseOutcome {
    enum Kind { Done, Unfinished, NotPossible, LineToAdd };
    Kind kind = NotPossible;
    std::string text;               // for the box, or the terminal
    std::string line = {};          // LineToAdd: the line, to copy
    int exitCode() const { return kind == NotPossible ? 1 : 0; }
};

UseOutcome useAsScreensaver(const UseRequest& request);

// --uninstall: the screensaver out of every host (changeEveryHost). A host
// that was set to show it is set back to what it shows without it: MATE's
// themes lose it, and with none left, MATE's mode is its default again.
InstallResult uninstallScreensaver(const InstallRequest& request);

} // namespace install
