#include "install/Install.h"

#include "install/XScreenSaverConfig.h"
#include "text/Temporaries.h"
#include "text/WriteInPlace.h"

#include <algorithm>
#include <cctype>

#ifndef _WIN32
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace install {

std::string entryName(const std::string& programPath)
{
    std::string base = programPath.substr(programPath.find_last_of('/') + 1);
    if (const auto dot = base.find_last_of('.'); dot != std::string::npos && dot > 0)
        base.erase(dot);
    const bool capitals = std::any_of(base.begin(), base.end(), [](char c) { return c >= 'A' && c <= 'Z'; }) &&
                          std::none_of(base.begin(), base.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    if (capitals) {
        bool wordStart = true;
        for (char& c : base) {
            const bool letter = std::isalpha(static_cast<unsigned char>(c)) != 0;
            if (letter && !wordStart && c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
            wordStart = !letter && !std::isdigit(static_cast<unsigned char>(c)) && c != '\'';
        }
    }
    return base + " (Glimmer)";
}

#ifdef _WIN32

std::string homeFolder() { return {}; }

InstallResult installInXScreenSaver(const InstallRequest&)
{
    return {1, "--install adds the screensaver to XScreenSaver on Linux; on Windows, right-click the file and choose Install.\n"};
}

InstallResult uninstallFromXScreenSaver(const InstallRequest& r) { return installInXScreenSaver(r); }

#else

namespace {

// A settings file larger than this is no settings file.
constexpr off_t largestPreferences = 8 << 20;

std::string systemError(const std::string& what) { return what + " (" + std::strerror(errno) + ")"; }

} // namespace

// The shell-safe way to name a path in a message a person may copy.
std::string quoted(const std::string& path)
{
    std::string q = "'";
    for (const char c : path)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

namespace {

enum class ReadOutcome { Read, Missing, Failed };

// Reads an ordinary file whole; `shown` names it in the problem.
ReadOutcome readSmallFile(const std::string& path, const std::string& shown, std::string& text, std::string& problem,
                          int flags = 0)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | flags);
    if (fd < 0) {
        if (errno == ENOENT)
            return ReadOutcome::Missing;
        problem = systemError(shown + " cannot be read");
        return ReadOutcome::Failed;
    }
    struct stat st {};
    ReadOutcome outcome = ReadOutcome::Read;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem = shown + " is not an ordinary file";
        outcome = ReadOutcome::Failed;
    } else if (st.st_size > largestPreferences) {
        problem = shown + " is too large to be XScreenSaver's settings";
        outcome = ReadOutcome::Failed;
    } else {
        text.clear();
        char buf[65536];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0 && text.size() <= std::size_t(largestPreferences))
            text.append(buf, std::size_t(n));
        if (n < 0) {
            problem = systemError(shown + " cannot be read");
            outcome = ReadOutcome::Failed;
        }
    }
    ::close(fd);
    return outcome;
}

// ~/.xscreensaver as the user has it: the name in the home folder, which
// every message names, and the file it leads to, which is read and written.
struct Preferences {
    std::string shown;
    std::string real;
    bool exists = false;
    struct stat info {};
};

// Where the settings are, or why they may not be changed. A link is
// followed, as the daemon follows it, but only to an ordinary file of the
// user's own: a link to a file such as /etc/passwd is no settings file.
std::string locatePreferences(Preferences& p)
{
    p.real = p.shown;
    if (::lstat(p.shown.c_str(), &p.info) != 0)
        return errno == ENOENT ? std::string() : systemError(p.shown + " cannot be read");
    if (S_ISLNK(p.info.st_mode)) {
        char real[PATH_MAX];
        if (!::realpath(p.shown.c_str(), real) || ::stat(real, &p.info) != 0 || !S_ISREG(p.info.st_mode) ||
            p.info.st_uid != ::geteuid())
            return p.shown + " is a link to something other than a settings file of yours, and is left as it is";
        p.real = real;
    } else if (!S_ISREG(p.info.st_mode)) {
        return p.shown + " is not an ordinary file";
    }
    p.exists = true;
    // As the project file: what the user may not write is not replaced.
    const int probe = ::open(p.real.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (probe < 0)
        return errno == EACCES || errno == EPERM || errno == EROFS ? p.shown + " is read-only, and is left as it is"
                                                                    : systemError(p.shown + " cannot be written");
    ::close(probe);
    return {};
}

} // namespace

// Writes `text` to a new file beside `path` and renames it over `path`: a
// reader sees the old file or the new one, never half of one. `noRoom`
// tells that no new file could be made there at all.
bool replaceFile(const std::string& path, const std::string& shown, const std::string& text, mode_t mode,
                 std::string& problem, bool* noRoom, const std::function<bool()>& stillAsRead)
{
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    std::string temp = path + ".glimmer-XXXXXX";
    // Locked while this runs, so that the next install can tell it from a
    // leftover of one that was killed.
    const int fd = makeLockedTemporary(temp);
    if (fd < 0) {
        if (noRoom)
            *noRoom = errno == EACCES || errno == EPERM || errno == EROFS;
        problem = systemError("no new file can be made beside " + shown);
        return false;
    }
    // Written through a second descriptor, whose close reports what a
    // network file system could not write; the first keeps the lock.
    const int out = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    bool ok = out >= 0 && ::fchmod(out, mode) == 0 && (errno = writeAtStart(out, text)) == 0 && ::fsync(out) == 0;
    if (out >= 0 && ::close(out) != 0)
        ok = false;
    if (!ok)
        problem = systemError(shown + " cannot be written");
    if (ok && stillAsRead && !stillAsRead()) {
        problem = shown + " was changed by another program meanwhile";
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        problem = systemError(shown + " cannot be replaced");
        ok = false;
    }
    if (!ok)
        ::unlink(temp.c_str());
    ::close(fd);
    if (!ok)
        return false;
    if (const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::string readFileStart(const std::string& path, std::size_t limit)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {};
    std::string text(limit, '\0');
    std::size_t got = 0;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        ssize_t n;
        while (got < text.size() && (n = ::read(fd, text.data() + got, text.size() - got)) > 0)
            got += std::size_t(n);
    }
    ::close(fd);
    text.resize(got);
    return text;
}

void removeLeftovers(const std::string& folder, const std::function<bool(const std::string& name)>& ours)
{
    static const timespec programStart = [] {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        return now;
    }();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir))
        if (ours(e->d_name))
            names.emplace_back(e->d_name);
    ::closedir(dir);
    for (const std::string& name : names)
        removeLeftoverTemporary(folder + "/" + name, programStart, [](int, const struct stat&) { return true; });
}

bool isTemporaryOf(const std::string& name, const std::string& base)
{
    const std::string start = base + ".glimmer-";
    // The backup, ~/.xscreensaver.glimmer-backup, has the form too.
    return name.size() == start.size() + 6 && name.rfind(start, 0) == 0 && name.compare(start.size(), 6, "backup") != 0 &&
           std::all_of(name.begin() + std::ptrdiff_t(start.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

namespace {

std::string backupOf(const std::string& shown) { return shown + ".glimmer-backup"; }

// Writes `text` over the file where it is, as the project file is written
// when it has other names or another owner.
bool rewritePreferences(const Preferences& p, const std::string& text, std::string& problem, const std::function<bool()>& stillAsRead)
{
    if (!stillAsRead()) {
        problem = p.shown + " was changed by another program meanwhile";
        return false;
    }
    const int fd = ::open(p.real.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    InPlaceOutcome done{fd < 0 ? errno : 0};
    if (fd >= 0) {
        done = writeInPlace(fd, text, std::size_t(largestPreferences));
        if (::close(fd) != 0 && !done.Error)
            done.Error = errno;
    }
    errno = done.Error;
    if (done.Damaged)
        problem = systemError(p.shown + " cannot be written") + ", and what it held could not be put back: it may be damaged, the old file is kept as " + backupOf(p.shown);
    else if (done.Error)
        problem = systemError(p.shown + " cannot be written");
    return !done.Error;
}

// The changed settings, written as the file is: in place where replacing it
// would split its hard links, change its owner, or cannot be done.
// Written only while the file still holds what was read (`stillAsRead`).
bool writePreferences(const Preferences& p, const std::string& text, mode_t mode, std::string& problem,
                      const std::function<bool()>& stillAsRead)
{
    if (p.exists && (p.info.st_nlink > 1 || p.info.st_uid != ::geteuid()))
        return rewritePreferences(p, text, problem, stillAsRead);
    bool noRoom = false;
    if (replaceFile(p.real, p.shown, text, mode, problem, &noRoom, stillAsRead))
        return true;
    return p.exists && noRoom && rewritePreferences(p, text, problem, stillAsRead);
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

IsOurs entryOf(const std::string& program)
{
    return [program](const ProgramEntry& e) {
        const std::string p = commandProgram(e.command);
        return p == program || (!p.empty() && p[0] == '/' && sameFile(p, program));
    };
}

// The list the daemon reads from the file now on disk: whether it holds our
// entry, turned on (or, for `add` false, none).
bool daemonReadsIt(const Preferences& p, const IsOurs& ours, bool add)
{
    std::string text, problem;
    if (readSmallFile(p.real, p.shown, text, problem, O_NOFOLLOW) != ReadOutcome::Read)
        return false;
    const auto list = findPrograms(text);
    const bool there = list && std::any_of(list->entries.begin(), list->entries.end(),
                                           [&](const ProgramEntry& e) { return ours(e) && e.enabled; });
    return there == add;
}

std::string runSettingsAdvice(const std::string& file, const std::string& program, const char* option)
{
    return "Run xscreensaver-settings once (it writes " + file + "), then run " + quoted(program) + " " + option + " again.\n";
}

InstallResult failed(std::string message) { return {1, std::move(message) + "\n"}; }

// Makes our entry the one the daemon shows. Where the file names no timeout
// the daemon waits ten hours, not the ten minutes of its app-defaults: those
// are written down, so that what is said is what happens. The seconds.
int chooseOnly(std::string& text, const IsOurs& ours, const std::string& defaults)
{
    const auto list = findPrograms(text);
    const auto& e = list->entries;
    setResource(text, "mode", "one");
    setResource(text, "selected", std::to_string(std::find_if(e.begin(), e.end(), ours) - e.begin()));
    std::optional<std::string> timeout = resourceValue(text, "timeout");
    if (!timeout || timeInSeconds(*timeout) <= 0) {
        timeout = resourceValue(defaults, "*timeout");
        if (!timeout || timeInSeconds(*timeout) <= 0)
            timeout = "0:10:00";
        setResource(text, "timeout", *timeout);
    }
    return timeInSeconds(*timeout);
}

// The daemon shows an entry by its place in the list ("selected:"): the
// entries that go out move those after them up a place. Was one of them the
// only one it showed ("mode: one"), it would go on to whatever comes to stand
// there, or to none: the mode goes back to a new file's, the defaults'
// (random), with no entry chosen. What was changed, for the message.
std::string keepTheChoice(std::string& text, const std::vector<ProgramEntry>& before, const IsOurs& ours, const std::string& defaults)
{
    const std::string selected = resourceValue(text, "selected").value_or("");
    if (selected.empty() || selected.size() > 6 || selected.find_first_not_of("0123456789") != std::string::npos ||
        std::size_t(std::atoi(selected.c_str())) >= before.size())
        return {};
    const auto chosen = before.begin() + std::atoi(selected.c_str());
    if (!ours(*chosen)) {
        if (const auto up = std::count_if(before.begin(), chosen, ours))
            setResource(text, "selected", std::to_string(chosen - before.begin() - up));
        return {};
    }
    setResource(text, "selected", "-1");
    std::string mode = resourceValue(text, "mode").value_or("");
    std::transform(mode.begin(), mode.end(), mode.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (mode != "one")
        return {};
    std::string fresh = resourceValue(defaults, "*mode").value_or("random");
    if (fresh == "one" || fresh.empty() || fresh.find_first_not_of("abcdefghijklmnopqrstuvwxyz-") != std::string::npos)
        fresh = "random";
    setResource(text, "mode", fresh);
    return "It was the only screensaver XScreenSaver showed: its mode is back to \"" + fresh + "\", as XScreenSaver's defaults have it" +
           (fresh == "random" ? " (a screensaver of its list chosen at random)" : "") + ".\n";
}

// One try: `changedMeanwhile` is set when another program changed the
// settings between their reading and the writing of ours, which then waits.
InstallResult changeOnce(const InstallRequest& r, bool add, bool& changedMeanwhile)
{
    if (r.programPath.empty() || r.programPath[0] != '/')
        return failed("The screensaver cannot tell where its own file is.");
    if (r.home.empty())
        return failed("There is no home folder (HOME is not set), so XScreenSaver's settings cannot be found.");
    Preferences p;
    p.shown = r.home + (r.home.back() == '/' ? "" : "/") + ".xscreensaver";
    const InstallLock lock(r.home);
    if (!lock.Problem().empty()) {
        const std::string command = entryCommand(r.programPath);
        return failed(lock.Problem() + (add && !command.empty() ? " Or add this line to the programs: list in " + p.shown +
                                                                      " yourself:\n" + entryLine(entryName(r.programPath), command) + " \\n\\"
                                                                : std::string()));
    }
    const char* option = add ? "--install" : "--uninstall";
    std::string text, problem = locatePreferences(p);
    // What installs that were killed left beside the settings and the backup.
    const auto baseName = [](const std::string& path) { return path.substr(path.find_last_of('/') + 1); };
    const auto folderOf = [](const std::string& path) { return path.substr(0, path.find_last_of('/')); };
    removeLeftovers(folderOf(p.shown), [&](const std::string& name) {
        return isTemporaryOf(name, baseName(p.shown)) || isTemporaryOf(name, baseName(backupOf(p.shown)));
    });
    if (p.real != p.shown)
        removeLeftovers(folderOf(p.real), [&](const std::string& name) { return isTemporaryOf(name, baseName(p.real)); });
    if (problem.empty() && p.exists && readSmallFile(p.real, p.shown, text, problem, O_NOFOLLOW) == ReadOutcome::Missing)
        problem = p.shown + " cannot be read";
    if (!problem.empty())
        return failed("XScreenSaver's settings cannot be changed: " + problem + ".");
    const auto stillAsRead = [&, asRead = text, existed = p.exists] {
        std::string now, unused;
        const ReadOutcome o = readSmallFile(p.real, p.shown, now, unused, O_NOFOLLOW);
        changedMeanwhile = existed ? o != ReadOutcome::Read || now != asRead : o != ReadOutcome::Missing;
        return !changedMeanwhile;
    };
    mode_t mode = p.exists ? p.info.st_mode & 07777 : 0644 & ~[] { const mode_t m = ::umask(0); ::umask(m); return m; }();
    const std::string& file = p.shown;
    const std::string name = entryName(r.programPath);
    const IsOurs ours = entryOf(r.programPath);
    const std::string backup = backupOf(file);
    // The daemon's defaults: its own list, which our entry goes after, and its mode.
    std::string defaults, defaultsFile;
    for (const std::string& d : r.defaults) {
        std::string unused;
        if (readSmallFile(d, d, defaults, unused) == ReadOutcome::Read) {
            defaultsFile = d;
            break;
        }
        defaults.clear();
    }
    if (!add) {
        if (!p.exists)
            return {0, "\"" + name + "\" is not in XScreenSaver's list: there is no " + file + ".\n"};
        std::string changed = text;
        const auto before = findPrograms(text);
        if (removePrograms(changed, ours) != Change::Removed)
            return {0, "\"" + name + "\" is not in XScreenSaver's list in " + file + ".\n"};
        const std::string unchosen = keepTheChoice(changed, before->entries, ours, defaults);
        if (!replaceFile(backup, backup, text, mode, problem) || !writePreferences(p, changed, mode, problem, stillAsRead))
            return failed("XScreenSaver's settings cannot be changed: " + problem + ".");
        if (!daemonReadsIt(p, ours, false))
            return failed("\"" + name + "\" was taken out of " + file + ", but the file read back still holds it. Was it changed meanwhile?");
        return {0, "Removed \"" + name + "\" from XScreenSaver's list in " + file + "; the old file is kept as " + backup + ".\n" + unchosen};
    }

    const std::string command = entryCommand(r.programPath);
    if (command.empty())
        return failed("The path of this screensaver holds a line break or another control character, which XScreenSaver's list cannot hold. Move it to a plainly named folder and run " + std::string(option) + " again.");
    const std::string line = entryLine(name, command);
    const bool created = !p.exists;
    if (created) {
        const auto fresh = defaultsFile.empty() ? std::nullopt : preferencesFromDefaults(defaults, defaultsFile);
        if (!fresh)
            return failed("There is no " + file + " yet, and XScreenSaver's defaults were not found to make one. " +
                          runSettingsAdvice(file, r.programPath, option));
        text = *fresh;
    }
    // A screensaver of our name from another file gives us its place.
    std::string changed = text, was;
    std::string ourName;
    if (const auto own = findPrograms("programs:" + line); own && own->entries.size() == 1)
        ourName = own->entries[0].name;
    const auto twin = [&](const ProgramEntry& e) { return e.name == ourName && !ours(e); };
    const auto list = findPrograms(changed);
    Change done = list && std::none_of(list->entries.begin(), list->entries.end(), ours) ? replaceProgram(changed, command, twin, &was)
                                                                                        : Change::NotThere;
    if (done == Change::NotThere || done == Change::NoList)
        done = addProgram(changed, line, ours);
    if (done == Change::NoList) {
        // Settings without a list the daemon reads use its defaults: that
        // list goes in, then ours.
        const auto fresh = defaultsFile.empty() ? std::nullopt : preferencesFromDefaults(defaults, defaultsFile);
        const std::string list = fresh ? fresh->substr(fresh->find("\nprograms:") + 1) : "programs:\n";
        changed += (changed.empty() || changed.back() == '\n' ? "" : "\n") + std::string("\n") + list;
        done = addProgram(changed, line, ours);
    }
    if (done != Change::Added && done != Change::TurnedOn && done != Change::Replaced && done != Change::AlreadyThere)
        return failed("XScreenSaver's settings in " + file + " could not be read. " + runSettingsAdvice(file, r.programPath, option));
    const int seconds = r.only ? chooseOnly(changed, ours, defaults) : -1;
    const std::string chosen = r.only ? " and chose it as the only screensaver XScreenSaver shows" : "";
    if (changed == text) {
        InstallResult out(0, "\"" + name + "\" is already in XScreenSaver's list in " + file + (r.only ? ", chosen as the only screensaver it shows" : "") + ".\n");
        out.seconds = seconds;
        return out;
    }
    if ((!created && !replaceFile(backup, backup, text, mode, problem)) || !writePreferences(p, changed, mode, problem, stillAsRead)) {
        return failed("XScreenSaver's settings cannot be changed: " + problem + ". Add this line to the programs: list in " +
                      file + " yourself:\n" + line + " \\n\\");
    }
    if (!daemonReadsIt(p, ours, true))
        return failed("\"" + name + "\" was written into " + file + ", but XScreenSaver would not read it there. Was the file changed meanwhile? " +
                      runSettingsAdvice(file, r.programPath, option));
    std::size_t index = 0;
    if (const auto list = findPrograms(changed)) {
        const auto& e = list->entries;
        index = std::size_t(std::find_if(e.begin(), e.end(), ours) - e.begin()) + 1;
    }
    std::string message = done == Change::Replaced ? "Put \"" + name + "\" of this file in the place of the one that ran " + commandProgram(was) + " in XScreenSaver's list in " + file
                          : std::string(done == Change::TurnedOn ? "Turned on" : done == Change::AlreadyThere ? "Kept" : "Added") + " \"" + name + "\" in XScreenSaver's list in " + file;
    message += chosen + (created ? " (a new file, made from " + defaultsFile + ").\n" : "; the old file is kept as " + backup + ".\n");
    if (!r.only)
        message += "Choose it in xscreensaver-settings, or show it now with: xscreensaver-command -select " + std::to_string(index) + "\n";
    InstallResult out(0, message);
    out.replaced = done == Change::Replaced ? commandProgram(was) : "";
    out.seconds = seconds;
    return out;
}

InstallResult change(const InstallRequest& r, bool add)
{
    // What another program writes into the settings meanwhile (the
    // daemon's settings dialog, another install) is kept: the settings are
    // read again and the change is made anew.
    for (int tries = 1;; ++tries) {
        bool changedMeanwhile = false;
        InstallResult out = changeOnce(r, add, changedMeanwhile);
        if (!changedMeanwhile || tries == 5)
            return out;
    }
}

} // namespace

namespace {

// The lock of this thread while it holds it: taken again, it is the same.
thread_local int heldLock = -1;
thread_local int heldDepth = 0;

std::string lockProblem(const std::string& lock, const std::string& why)
{
    return "Glimmer cannot keep two installs from changing your screensaver settings at once: " + lock + " " + why +
           ". Remove it, then try again.";
}

} // namespace

InstallLock::InstallLock(const std::string& home)
{
    if (heldDepth > 0) {
        ++heldDepth;
        held_ = true;
        return;
    }
    const std::string beside = home + (!home.empty() && home.back() == '/' ? "" : "/") + ".xscreensaver.glimmer-lock";
    std::string lock = beside;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime && runtime[0] == '/' && ::lstat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) == 0)
        lock = std::string(runtime) + "/glimmer-xscreensaver.lock";
    int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0 && lock != beside) {
        lock = beside;
        fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    }
    // A lock that cannot be had is said, never passed over: the change
    // would go on unguarded.
    if (fd < 0) {
        problem_ = lockProblem(lock, errno == ELOOP ? "is a link, not a lock file" : "cannot be made (" + std::string(std::strerror(errno)) + ")");
        return;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        problem_ = lockProblem(lock, "is not an ordinary file");
        return;
    }
    // Another install is done within moments; one that hangs is not waited for long.
    for (int tries = 0; tries < 200; ++tries) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            heldLock = fd;
            heldDepth = 1;
            held_ = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            problem_ = lockProblem(lock, "cannot be locked (" + std::string(std::strerror(errno)) + ")");
            ::close(fd);
            return;
        }
        ::usleep(50 * 1000);
    }
    ::close(fd);
    problem_ = "Another program is changing your screensaver settings and has not finished. Run it again in a moment.";
}

InstallLock::~InstallLock()
{
    if (held_ && --heldDepth == 0) {
        ::close(heldLock);
        heldLock = -1;
    }
}

int timeInSeconds(const std::string& value)
{
    std::vector<int> parts;
    for (std::size_t at = 0; at <= value.size() && parts.size() < 4;) {
        const std::size_t colon = std::min(value.find(':', at), value.size());
        const std::string part = value.substr(at, colon - at);
        if (part.empty() || part.size() > 6 || part.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        parts.push_back(std::atoi(part.c_str()));
        at = colon + 1;
    }
    switch (parts.size()) {
    case 1: return parts[0] * 60;
    case 2: return parts[0] * 60 + parts[1];
    case 3: return parts[0] * 3600 + parts[1] * 60 + parts[2];
    default: return -1;
    }
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

InstallResult installInXScreenSaver(const InstallRequest& request) { return change(request, true); }
InstallResult uninstallFromXScreenSaver(const InstallRequest& request) { return change(request, false); }

#endif

} // namespace install
