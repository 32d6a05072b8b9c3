#pragma once
// --install and --uninstall: the screensaver in XScreenSaver's list of the
// user's ~/.xscreensaver, by its absolute path (the daemon runs commands
// without a shell, so "~" would never be expanded). The file is changed only
// where the entry goes, the old one is kept as a backup, and the new one
// replaces it in one step (a temporary file renamed over it).
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/types.h>
#endif

namespace player {

struct InstallRequest {
    std::string programPath;    // absolute path of the .SCR
    std::string home;           // the folder that holds .xscreensaver
    // XScreenSaver's app-defaults files, the first that exists serves when
    // there is no ~/.xscreensaver yet.
    std::vector<std::string> defaults = {"/etc/X11/app-defaults/XScreenSaver", "/usr/share/X11/app-defaults/XScreenSaver",
                                         "/usr/lib/X11/app-defaults/XScreenSaver"};
};

struct InstallResult {
    int exitCode = 0;          // 0 done or nothing to do, 1 failed (not "Status": Xlib makes that a macro)
    std::string message;       // for standard output (0) or standard error (1)
};

InstallResult installInXScreenSaver(const InstallRequest& request);
InstallResult uninstallFromXScreenSaver(const InstallRequest& request);

// "Sunset (Glimmer)" for /any/where/SUNSET.SCR: the file's name without its
// extension, capitalised as a title when it is all capitals.
std::string entryName(const std::string& programPath);

// Where the daemon looks: $HOME, else the password database's home.
std::string homeFolder();

#ifndef _WIN32
// Shared with the desktop theme (DesktopTheme.h). A path quoted for the
// shell, for a command a person may copy; and `text` written to a new file
// beside `path` and renamed over it, so that a reader sees the old file or
// the new one, never half of one (`shown` names it in the problem).
std::string quoted(const std::string& path);
bool replaceFile(const std::string& path, const std::string& shown, const std::string& text, mode_t mode, std::string& problem,
                 bool* noRoom = nullptr);
#endif

} // namespace player
