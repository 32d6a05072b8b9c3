#include "install/UseAsScreensaver.h"

#include "install/DesktopTheme.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace install {

namespace {

using Clock = std::chrono::steady_clock;

struct Ran {
    int status = -1;
    std::string out;
};

// Runs `argv` (found on the PATH) with nothing on its standard input and
// waits up to `limit` for it: its exit status and, when `capture`, what it
// printed; nothing when it could not be started or did not end in time.
std::optional<Ran> run(const std::vector<std::string>& argv, bool capture = true,
                       std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    int out[2] = {-1, -1};
    if (capture && ::pipe2(out, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (capture)
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int failed = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (capture)
        ::close(out[1]);
    Ran ran;
    const auto deadline = Clock::now() + limit;
    const auto left = [&] { return int(std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count())); };
    if (capture && !failed) {
        pollfd p{out[0], POLLIN, 0};
        char buf[4096];
        ssize_t n = 1;
        while (n > 0 && ::poll(&p, 1, left()) > 0 && ran.out.size() < (1 << 20))
            if ((n = ::read(out[0], buf, sizeof buf)) > 0)
                ran.out.append(buf, std::size_t(n));
    }
    if (capture)
        ::close(out[0]);
    if (failed)
        return std::nullopt;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (left() == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return std::nullopt;
        }
        ::usleep(10 * 1000);
    }
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

std::string trimmed(std::string s)
{
    s.erase(0, s.find_first_not_of(" \t\r\n"));
    s.erase(s.find_last_not_of(" \t\r\n") + 1);
    return s;
}

std::optional<std::string> gsettingsGet(const std::string& schema, const std::string& key)
{
    const auto r = run({"gsettings", "get", schema, key});
    return r && r->status == 0 ? std::optional<std::string>(trimmed(r->out)) : std::nullopt;
}

// Set, and read back as another program reads it: without the user's settings
// service gsettings keeps a value in its own memory only, and says nothing.
bool gsettingsSet(const std::string& schema, const std::string& key, const std::string& value)
{
    const auto r = run({"gsettings", "set", schema, key, value});
    return r && r->status == 0 && gsettingsGet(schema, key) == value;
}

// The items of a list of strings as gsettings prints it ("@as []",
// "['a', \"it's\"]"), each as printed, quotes and all; nothing when it is
// no such list.
std::optional<std::vector<std::string>> listItems(const std::string& printed)
{
    std::vector<std::string> items;
    for (std::size_t at = printed.find('[') + 1; at > 0 && at < printed.size();) {
        const char c = printed[at];
        if (c == ']')
            return items;
        if (c == ' ' || c == ',') {
            ++at;
            continue;
        }
        std::size_t end = at + 1;
        while (end < printed.size() && printed[end] != c)
            end += printed[end] == '\\' ? 2 : 1;
        if ((c != '\'' && c != '"') || end >= printed.size())
            return std::nullopt;
        items.push_back(printed.substr(at, end + 1 - at));
        at = end + 1;
    }
    return std::nullopt;
}

// The number in "uint32 5" or "5"; -1 when there is none.
int lastNumber(const std::optional<std::string>& value)
{
    if (!value)
        return -1;
    const std::size_t at = value->find_last_not_of("0123456789");
    const std::string digits = value->substr(at == std::string::npos ? 0 : at + 1);
    return digits.empty() || digits.size() > 6 ? -1 : std::atoi(digits.c_str());
}

std::string readSmall(const std::string& file) { return readFileStart(file, 64 << 10); }

// ":0.0", "unix:0" and ":0" are one display.
std::string displayOf(std::string name)
{
    const std::size_t colon = name.rfind(':');
    if (colon == std::string::npos)
        return name;
    std::string host = name.substr(0, colon);
    if (host == "unix" || host == "localhost")
        host.clear();
    return host + ":" + name.substr(colon + 1, name.find('.', colon) - colon - 1);
}

bool ownProcess(const std::string& pid)
{
    struct stat st {};
    return ::stat(("/proc/" + pid).c_str(), &st) == 0 && st.st_uid == ::getuid();
}

// The folder's birth, in seconds since 1970; 0 when the file system keeps none.
long long bornAt(const std::string& folder)
{
    struct statx st {};
    return ::statx(AT_FDCWD, folder.c_str(), 0, STATX_BTIME, &st) == 0 && (st.stx_mask & STATX_BTIME) ? st.stx_btime.tv_sec : 0;
}

// When the process began, in seconds since 1970 (at most a second late).
long long startedAt(pid_t pid)
{
    const std::string stat = readSmall("/proc/" + std::to_string(pid) + "/stat");
    // Its start time is field 22; the command, field 2, ends at the last ')'.
    std::size_t end = stat.rfind(')');
    std::string field;
    for (int i = 3; i <= 22; ++i) {
        const std::size_t begin = end == std::string::npos ? end : stat.find_first_not_of(" \n", end + 1);
        if (begin == std::string::npos)
            return 0;
        end = stat.find_first_of(" \n", begin);
        field = stat.substr(begin, end == std::string::npos ? end : end - begin);
    }
    const std::string system = readSmall("/proc/stat");
    const std::size_t at = system.find("\nbtime ");
    if (at == std::string::npos)
        return 0;
    return std::atoll(system.c_str() + at + 7) + std::atoll(field.c_str()) / ::sysconf(_SC_CLK_TCK);
}

bool alive(pid_t pid) { return ::kill(pid, 0) == 0; }

// mate-screensaver, started again. It reads the themes of the folders that
// were there when it started, and sees a theme written into one of them
// within a moment; a folder made later it never looks into.
bool restartMate(pid_t pid)
{
    run({"mate-screensaver-command", "--exit"});
    for (int i = 0; i < 100 && alive(pid); ++i)
        ::usleep(50 * 1000);
    // It stays in the foreground: started in a session of its own, which
    // outlives this program.
    if (alive(pid) || !run({"setsid", "-f", "mate-screensaver"}, false))
        return false;
    for (int i = 0; i < 100; ++i) {
        if (const auto q = run({"mate-screensaver-command", "--query"}); q && q->status == 0)
            return true;
        ::usleep(50 * 1000);
    }
    return false;
}

bool desktopIs(const Session& s, const std::string& name)
{
    std::string all = ":" + s.desktop + ":";
    std::transform(all.begin(), all.end(), all.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return all.find(":" + name + ":") != std::string::npos;
}

const RunningHost* hostOf(const Session& s, const std::string& name)
{
    const auto h = std::find_if(s.hosts.begin(), s.hosts.end(), [&](const RunningHost& r) { return r.name == name; });
    return h == s.hosts.end() ? nullptr : &*h;
}

std::string folderOf(const std::string& path) { return path.substr(0, path.find_last_of('/')); }
std::string baseOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string afterText(int seconds)
{
    if (seconds <= 0)
        return "";
    if (seconds < 120 && seconds % 60 != 0)
        return " after " + std::to_string(seconds) + " seconds without use";
    const int minutes = (seconds + 30) / 60;
    return " after " + std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes") + " without use";
}

std::string fileText(const std::string& program)
{
    return "The screensaver is " + baseOf(program) + " in the project folder " + folderOf(program) +
           ", run where it lies: compiling again updates it. Leave it there; moved or deleted, it no longer runs.\n";
}

// What XScreenSaver was told; `running` whether its daemon runs here.
UseOutcome inXScreenSaver(const UseRequest& r, bool running)
{
    InstallRequest q = r.install;
    q.only = true;
    const InstallResult done = installInXScreenSaver(q);
    const std::string name = entryName(q.programPath);
    if (done.exitCode != 0)
        return {UseOutcome::NotPossible, "\"" + name + "\" could not be made your screensaver. " + done.message};
    std::string text = running ? "\"" + name + "\" is now your screensaver: XScreenSaver shows it" + afterText(done.seconds) + ".\n\n"
                               : "\"" + name + "\" is chosen as your screensaver, but XScreenSaver does not run on this desktop, so "
                                 "nothing shows it yet. Start it with: xscreensaver --no-splash &\n"
                                 "(and add that to the programs your desktop starts when you log in). It then shows it" +
                                     afterText(done.seconds) + ".\n\n";
    text += fileText(q.programPath) + "\nWhat was done: " + done.message +
            "\nTo undo it, choose another screensaver in XScreenSaver's settings (xscreensaver-settings).";
    return {running ? UseOutcome::Done : UseOutcome::Unfinished, text};
}

// The theme, chosen in MATE's settings; `host` the daemon that runs, if any.
UseOutcome inMate(const UseRequest& r, const RunningHost* host)
{
    ThemeRequest theme = themeRequestFor(r.install);
    theme.hosts = {"mate-screensaver"};
    theme.only = true;
    const std::string folder = theme.dataHome + "/applications";
    struct stat st {};
    const bool folderWasThere = ::stat(folder.c_str(), &st) == 0;
    const InstallResult done = installDesktopTheme(theme);
    const std::string name = entryName(r.install.programPath);
    if (done.exitCode != 0)
        return {UseOutcome::NotPossible, "\"" + name + "\" could not be made your screensaver. " + done.message};
    if (!done.runs)
        return {UseOutcome::Unfinished, "\"" + name + "\" is not your screensaver yet. " + done.message + "Then " + r.again + ".\n\n" +
                                            fileText(r.install.programPath)};
    const std::string themes = "['" + done.theme + "']";
    if (!gsettingsSet("org.mate.screensaver", "mode", "'single'") || !gsettingsSet("org.mate.screensaver", "themes", themes))
        return {UseOutcome::Unfinished,
                "\"" + name + "\" is not your screensaver yet: " + done.message +
                    "MATE's settings could not be changed (gsettings is missing, or no settings service answers). Run this in a "
                    "terminal of your desktop:\ngsettings set org.mate.screensaver mode 'single' && gsettings set "
                    "org.mate.screensaver themes \"" + themes + "\"\n\n" + fileText(r.install.programPath)};
    std::string restarted;
    if (host && (!folderWasThere || bornAt(folder) >= startedAt(host->pid)))
        restarted = restartMate(host->pid) ? "mate-screensaver was started again, to read the folder " + folder + ", which is newer than it.\n"
                                           : "mate-screensaver could not be started again to read the new folder " + folder + ": log out and in again.\n";
    const int minutes = lastNumber(gsettingsGet("org.mate.session", "idle-delay"));
    const bool onIdle = gsettingsGet("org.mate.screensaver", "idle-activation-enabled") != "false";
    std::string text;
    if (!host)
        text = "\"" + name + "\" is chosen as your screensaver, but mate-screensaver does not run on this desktop, so nothing shows it "
               "yet. Start it with: mate-screensaver\n\n";
    else if (!onIdle)
        text = "\"" + name + "\" is chosen as your screensaver, but MATE is set not to start a screensaver when the computer is idle. "
               "Turn on \"Activate screensaver when computer is idle\" in its Screensaver Preferences (mate-screensaver-preferences).\n\n";
    else
        text = "\"" + name + "\" is now your screensaver: MATE shows it" + afterText(minutes * 60) + ".\n\n";
    text += fileText(r.install.programPath) + "\nWhat was done: " + done.message + "It was chosen in MATE's screensaver settings (mode single, theme " +
            done.theme + ").\n" + restarted +
            "\nTo undo it, choose another theme in MATE's Screensaver Preferences (mate-screensaver-preferences).";
    return {host && onIdle && restarted.rfind("mate-screensaver could not", 0) != 0 ? UseOutcome::Done : UseOutcome::Unfinished, text};
}

// MATE's screensaver settings without the themes `gone`. Left choosing a
// theme that is not there, it would blank the screen black for good: with no
// theme left, its mode and themes go back to their defaults. What was done.
std::string unchooseInMate(const std::vector<std::string>& gone, bool& ok)
{
    const auto printed = gone.empty() ? std::nullopt : gsettingsGet("org.mate.screensaver", "themes");
    const auto items = printed ? listItems(*printed) : std::nullopt;
    if (!items)
        return {};
    std::string kept;
    std::size_t left = 0;
    for (const std::string& item : *items)
        if (std::none_of(gone.begin(), gone.end(), [&](const std::string& id) { return item == "'" + id + "'"; }))
            kept += (left++ == 0 ? "" : ", ") + item;
    if (left == items->size())
        return {};
    const std::string command = kept.empty() ? "gsettings reset org.mate.screensaver mode && gsettings reset org.mate.screensaver themes"
                                             : "gsettings set org.mate.screensaver themes " + quoted("[" + kept + "]");
    if (kept.empty()) {
        run({"gsettings", "reset", "org.mate.screensaver", "mode"});
        run({"gsettings", "reset", "org.mate.screensaver", "themes"});
        const auto now = gsettingsGet("org.mate.screensaver", "themes");
        ok = now && listItems(*now) && listItems(*now)->empty();
    } else {
        ok = gsettingsSet("org.mate.screensaver", "themes", "[" + kept + "]");
    }
    if (!ok)
        return "MATE's screensaver settings still name its theme, and could not be changed (gsettings failed, or no settings service "
               "answers). Run this in a terminal of your desktop:\n" + command + "\n";
    if (!kept.empty())
        return "Its theme was taken out of MATE's screensaver settings, which keep [" + kept + "].\n";
    const std::string mode = gsettingsGet("org.mate.screensaver", "mode").value_or("?");
    return "It was the theme MATE's screensaver showed: its settings are back to their defaults (mode " + mode + ", no theme)" +
           (mode == "'blank-only'" ? ", so it only blanks the screen" : "") +
           ". Choose another theme in MATE's Screensaver Preferences (mate-screensaver-preferences).\n";
}

UseOutcome onWayland(const UseRequest& r)
{
    const std::string& program = r.install.programPath;
    const std::string command = "swayidle -w timeout 300 " + quoted(program);
    UseOutcome out{UseOutcome::LineToAdd, "", r.session.sway ? "exec " + command : command};
    if (programOnPath("swayidle").empty())
        out.text = "swayidle, which starts screensavers on this desktop, is not installed: install it first (sudo apt install swayidle).\n\n";
    out.text += r.session.sway ? "On sway, swayidle starts the screensaver. Add this line to sway's configuration, ~/.config/sway/config, and log in again:\n\n"
                               : "On this Wayland desktop, swayidle starts the screensaver (with sway and the other wlroots compositors). "
                                 "Add this command to the programs your desktop starts when you log in:\n\n";
    out.text += out.line + "\n\nIt then shows the screensaver after 5 minutes without use (the 300 seconds in the line). " + fileText(program) +
                "\nTo undo it, take the line out again.";
    return out;
}

} // namespace

Session Session::current()
{
    Session s;
    const auto env = [](const char* name) { const char* v = std::getenv(name); return std::string(v ? v : ""); };
    s.desktop = env("XDG_CURRENT_DESKTOP");
    s.wayland = !env("WAYLAND_DISPLAY").empty() || env("XDG_SESSION_TYPE") == "wayland";
    s.sway = !env("SWAYSOCK").empty();
    const std::string display = displayOf(env("DISPLAY"));
    DIR* proc = ::opendir("/proc");
    while (const dirent* e = proc ? ::readdir(proc) : nullptr) {
        const std::string pid = e->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos || !ownProcess(pid))
            continue;
        const std::string command = readSmall("/proc/" + pid + "/cmdline");
        const std::string name = baseOf(command.substr(0, command.find('\0')));
        if (name != "xscreensaver" && name != "mate-screensaver" && name != "xfce4-screensaver")
            continue;
        // One of another display is not this desktop's (unreadable: it is).
        const std::string environment = "\n" + readSmall("/proc/" + pid + "/environ");
        std::string theirs;
        if (const std::size_t at = environment.find(std::string(1, '\0') + "DISPLAY="); at != std::string::npos)
            theirs = displayOf(environment.substr(at + 9, environment.find('\0', at + 9) - at - 9));
        if (environment.size() > 1 && !display.empty() && !theirs.empty() && theirs != display)
            continue;
        s.hosts.push_back({name, pid_t(std::atoi(pid.c_str()))});
    }
    if (proc)
        ::closedir(proc);
    return s;
}

UseOutcome useAsScreensaver(const UseRequest& r)
{
    const Session& s = r.session;
    const std::string& program = r.install.programPath;
    const RunningHost* xscreensaver = hostOf(s, "xscreensaver");
    const RunningHost* mate = hostOf(s, "mate-screensaver");
    // The hosts' settings change under the one lock of installs.
    std::optional<InstallLock> lock;
    const auto unlocked = [&] {
        lock.emplace(r.install.home);
        return lock->Problem();
    };
    if (xscreensaver || mate) {
        if (const std::string problem = unlocked(); !problem.empty())
            return {UseOutcome::NotPossible, problem};
        UseOutcome out = xscreensaver ? inXScreenSaver(r, true) : inMate(r, mate);
        if (xscreensaver && mate) {
            const UseOutcome second = inMate(r, mate);
            out.kind = std::max(out.kind, second.kind);
            out.text += "\n\nMATE's screensaver runs here too:\n" + second.text;
        }
        return out;
    }
    if (hostOf(s, "xfce4-screensaver")) {
        ThemeRequest theme = themeRequestFor(r.install);
        theme.hosts = {"xfce4-screensaver"};
        const InstallResult done = installDesktopTheme(theme);
        return {done.exitCode ? UseOutcome::NotPossible : UseOutcome::Unfinished, done.message + "\n" + fileText(program)};
    }
    const std::string nothingChanged = "Nothing was changed. " + baseOf(program) + " in the project folder " + folderOf(program) +
                                       " runs whenever you start it (double-click it).";
    for (const char* desktop : {"GNOME", "KDE"})
        if (desktopIs(s, desktop))
            return {UseOutcome::NotPossible, std::string(desktop) + " runs no screensaver programs: after a while without use it only blanks "
                                                 "the screen, and no screensaver can be chosen there. " + nothingChanged};
    if (s.wayland)
        return onWayland(r);
    // An X desktop where no host runs: the one installed gets it, for when it starts.
    const bool hasXScreenSaver = !programOnPath("xscreensaver").empty(), hasMate = !programOnPath("mate-screensaver").empty();
    if (hasXScreenSaver || hasMate)
        if (const std::string problem = unlocked(); !problem.empty())
            return {UseOutcome::NotPossible, problem};
    if (hasMate && (desktopIs(s, "MATE") || !hasXScreenSaver))
        return inMate(r, nullptr);
    if (hasXScreenSaver)
        return inXScreenSaver(r, false);
    return {UseOutcome::NotPossible, "No screensaver program runs on this desktop, and XScreenSaver is not installed. " + nothingChanged +
                                         "\nTo use it as your screensaver, install XScreenSaver (sudo apt install xscreensaver), start it "
                                         "(xscreensaver --no-splash &), then " + r.again + "."};
}

InstallResult uninstallScreensaver(const InstallRequest& request)
{
    // The hosts' settings change under the one lock of installs, as their files do.
    const InstallLock lock(request.home);
    if (!lock.Problem().empty())
        return {1, lock.Problem() + "\n"};
    InstallResult out = changeEveryHost(request, false);
    bool ok = true;
    out.message += unchooseInMate(out.themesRemoved, ok);
    out.exitCode = ok ? out.exitCode : 1;
    return out;
}

} // namespace install
