#pragma once
// --install and --uninstall: the screensaver in XScreenSaver's list of the
// user's ~/.xscreensaver, by its absolute path (the daemon runs commands
// without a shell, so "~" would never be expanded). The file is changed only
// where the entry goes, the old one is kept as a backup, and the new one
// replaces it in one step (a temporary file renamed over it).
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/types.h>
#endif

namespace install {

struct InstallRequest {
    std::string programPath;    // absolute path of the .SCR
    std::string home;           // the folder that holds .xscreensaver
    // XScreenSaver's app-defaults files, the first that exists serves when
    // there is no ~/.xscreensaver yet.
    std::vector<std::string> defaults = {"/etc/X11/app-defaults/XScreenSaver", "/usr/share/X11/app-defaults/XScreenSaver",
                                         "/usr/lib/X11/app-defaults/XScreenSaver"};
    // Also the one screensaver the daemon shows ("mode: one", "selected:").
    bool only = false;
};

struct InstallResult {
    InstallResult(int code = 0, std::string text = {}) : exitCode(code), message(std::move(text)) {}
    int exitCode = 0;          // 0 done or nothing to do, 1 failed (not "Status": Xlib makes that a macro)
    std::string message;       // for standard output (0) or standard error (1)
    std::string replaced;      // the file of the screensaver of our name whose place this one took
    int seconds = -1;          // only: after how long without use the host shows it; -1 not known
    std::string theme;         // a desktop theme: its name in the host's settings
    bool runs = true;          // a desktop theme: false while the host cannot run it yet
    std::vector<std::string> themesRemoved;   // uninstalled desktop themes, by their names in the host's settings
};

InstallResult installInXScreenSaver(const InstallRequest& request);
InstallResult uninstallFromXScreenSaver(const InstallRequest& request);

// "Sunset (Glimmer)" for /any/where/SUNSET.SCR: the file's name without its
// extension, capitalised as a title when it is all capitals.
std::string entryName(const std::string& programPath);

// "0:10:00", "1:30" (minutes and seconds) or "10" (minutes), as the daemon
// reads its times: the seconds, or -1.
int timeInSeconds(const std::string& value);

// Where the daemon looks: $HOME, else the password database's home.
std::string homeFolder();

#ifndef _WIN32
// One change of the user's screensaver settings at a time, across programs:
// installs run at once would each read a file, change it and rename theirs
// over it, and all changes but the last one's would be lost, or take the
// same free theme name. Held across XScreenSaver's list and the desktop
// theme; taken again by the same thread while held, it is the same lock.
// The lock is a file of its own (the settings are replaced), in
// $XDG_RUNTIME_DIR when that is the user's alone, which leaves nothing in
// the home folder, else beside ~/.xscreensaver; never the home folder
// itself, which a compile of a project kept there locks.
class InstallLock {
public:
    explicit InstallLock(const std::string& home);
    ~InstallLock();
    InstallLock(const InstallLock&) = delete;
    InstallLock& operator=(const InstallLock&) = delete;
    // Why it is not held (a link where the lock file goes, another program
    // that holds it too long), for the user; empty when it is.
    const std::string& Problem() const { return problem_; }

private:
    bool held_ = false;
    std::string problem_;
};
#endif

#ifndef _WIN32
// Shared with the desktop theme (DesktopTheme.h). A path quoted for the
// shell, for a command a person may copy; and `text` written to a new file
// beside `path` and renamed over it, so that a reader sees the old file or
// the new one, never half of one (`shown` names it in the problem).
std::string quoted(const std::string& path);
// The rename waits for `stillAsRead`, when given: false leaves the file as
// it is ("changed by another program meanwhile").
bool replaceFile(const std::string& path, const std::string& shown, const std::string& text, mode_t mode, std::string& problem,
                 bool* noRoom = nullptr, const std::function<bool()>& stillAsRead = {});

// The start of an ordinary file, at most `limit` bytes, by plain reads (the
// player links the C++ library in, and <fstream>'s locale machinery would
// make it half as large again); a pipe or a device is never waited on.
// Empty when it cannot be read.
std::string readFileStart(const std::string& path, std::size_t limit);

// Removes what installs that were killed left in `folder`: files that
// `ours` names, and that no living program holds. replaceFile names its new
// files as isTemporaryOf tells: the name `base`, ".glimmer-" and six
// letters or digits.
void removeLeftovers(const std::string& folder, const std::function<bool(const std::string& name)>& ours);
bool isTemporaryOf(const std::string& name, const std::string& base);
#endif

} // namespace install
