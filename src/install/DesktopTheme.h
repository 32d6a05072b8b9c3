#pragma once
// --install and --uninstall for the screensavers that read themes from
// applications/screensavers (mate-screensaver; Xfce's is a fork of it): a
// theme file, ~/.local/share/applications/screensavers/glimmer-NAME.desktop,
// whose program runs the .SCR in the screensaver's window. They run only
// programs that lie in their own hack folders, so the theme runs the .SCR
// through Glimmer's launcher there (installed with Glimmer), or, where Glimmer
// is not installed, through a link of that file that root makes once.
#include "install/Install.h"

#include <string>
#include <vector>

namespace install {

struct ThemeRequest {
    std::vector<std::string> hosts;   // "mate-screensaver", "xfce4-screensaver": for the messages
    std::string programPath;   // absolute path of the .SCR
    std::string dataHome;      // $XDG_DATA_HOME, else ~/.local/share
    std::string home;          // where the lock of installs goes (InstallLock); empty: homeFolder()
    std::string launcher = "/usr/libexec/xscreensaver/glimmer-scr";
    // Glimmer's launcher where it was installed under another prefix, which
    // these screensavers do not search; empty when there is none.
    std::string launcherElsewhere;
    // Where a link may go when there is no launcher: the hack folders that
    // those screensavers search, the shared ones first.
    std::vector<std::string> hackFolders = {"/usr/libexec/xscreensaver", "/usr/lib/xscreensaver",
                                            "/usr/lib/mate-screensaver/mate-screensaver", "/usr/libexec/mate-screensaver"};
    // The caller makes it the theme shown: no advice how to choose it.
    bool only = false;
};

// The theme of this file, or of another file of the same name, whose place
// it takes (`replaced`); `theme` is its name in the settings, and `runs`
// false while the launcher or the link is missing.
InstallResult installDesktopTheme(const ThemeRequest& request);
InstallResult uninstallDesktopTheme(const ThemeRequest& request);

// What --install and --uninstall do: XScreenSaver's list, and the theme when
// mate-screensaver or xfce4-screensaver is installed (then XScreenSaver's
// list only where XScreenSaver is there too); the messages of both.
InstallResult changeEveryHost(const InstallRequest& request, bool add);

// A theme of the screensaver of `request` in the user's data folder; hosts
// not yet named.
ThemeRequest themeRequestFor(const InstallRequest& request);

// Where `program` is found on the PATH; empty when it is not.
std::string programOnPath(const std::string& program);

// The theme file's Exec value for `program` and its arguments: each quoted
// as a desktop file wants it; empty when a path cannot be put there.
std::string themeExec(const std::vector<std::string>& arguments);

} // namespace install
