#include "common/Install.h"

#include "common/XScreenSaverConfig.h"

#include <algorithm>
#include <cctype>

#ifndef _WIN32
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace player {

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

// The shell-safe way to name a path in a message a person may copy.
std::string quoted(const std::string& path)
{
    std::string q = "'";
    for (const char c : path)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

enum class ReadOutcome { Read, Missing, Failed };

ReadOutcome readSmallFile(const std::string& path, std::string& text, std::string& problem, mode_t* mode = nullptr)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT)
            return ReadOutcome::Missing;
        problem = systemError(path + " cannot be read");
        return ReadOutcome::Failed;
    }
    struct stat st {};
    ReadOutcome outcome = ReadOutcome::Read;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem = path + " is not an ordinary file";
        outcome = ReadOutcome::Failed;
    } else if (st.st_size > largestPreferences) {
        problem = path + " is too large to be XScreenSaver's settings";
        outcome = ReadOutcome::Failed;
    } else {
        if (mode)
            *mode = st.st_mode & 07777;
        text.clear();
        char buf[65536];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0 && text.size() <= std::size_t(largestPreferences))
            text.append(buf, std::size_t(n));
        if (n < 0) {
            problem = systemError(path + " cannot be read");
            outcome = ReadOutcome::Failed;
        }
    }
    ::close(fd);
    return outcome;
}

// Writes `text` to a new file beside `path` and renames it over `path`: a
// reader sees the old file or the new one, never half of one.
bool replaceFile(const std::string& path, const std::string& text, mode_t mode, std::string& problem)
{
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    std::string temp = path + ".glimmer-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        problem = systemError("no new file can be made in " + folder);
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? std::size_t(n) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    if (!ok)
        problem = systemError(temp + " cannot be written");
    if (::close(fd) != 0 && ok) {
        problem = systemError(temp + " cannot be written");
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        problem = systemError(path + " cannot be replaced");
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    if (const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

// ~/.xscreensaver, through a link to where it really is, as the daemon writes it.
std::string preferencesPath(const std::string& home)
{
    std::string path = home;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += ".xscreensaver";
    char real[PATH_MAX];
    if (::realpath(path.c_str(), real))
        return real;
    return path;
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

IsOurs entryOf(const std::string& program)
{
    return [program](const ProgramEntry& e) {
        const std::string p = commandProgram(e.Command);
        return p == program || (!p.empty() && p[0] == '/' && sameFile(p, program));
    };
}

std::string runSettingsAdvice(const std::string& file, const std::string& program, const char* option)
{
    return "Run xscreensaver-settings once (it writes " + file + "), then run " + quoted(program) + " " + option + " again.\n";
}

InstallResult failed(std::string message) { return {1, std::move(message) + "\n"}; }

InstallResult change(const InstallRequest& r, bool add)
{
    if (r.ProgramPath.empty() || r.ProgramPath[0] != '/')
        return failed("The screensaver cannot tell where its own file is.");
    if (r.Home.empty())
        return failed("There is no home folder (HOME is not set), so XScreenSaver's settings cannot be found.");
    const std::string file = preferencesPath(r.Home);
    const char* option = add ? "--install" : "--uninstall";
    std::string text, problem;
    mode_t mode = 0644;
    const ReadOutcome read = readSmallFile(file, text, problem, &mode);
    if (read == ReadOutcome::Failed)
        return failed("XScreenSaver's settings cannot be changed: " + problem + ".");
    const std::string name = entryName(r.ProgramPath);
    const IsOurs ours = entryOf(r.ProgramPath);
    if (!add) {
        if (read == ReadOutcome::Missing)
            return {0, "\"" + name + "\" is not in XScreenSaver's list: there is no " + file + ".\n"};
        std::string changed = text;
        if (removePrograms(changed, ours) != Change::Removed)
            return {0, "\"" + name + "\" is not in XScreenSaver's list in " + file + ".\n"};
        const std::string backup = file + ".glimmer-backup";
        if (!replaceFile(backup, text, mode, problem) || !replaceFile(file, changed, mode, problem))
            return failed("XScreenSaver's settings cannot be changed: " + problem + ".");
        return {0, "Removed \"" + name + "\" from XScreenSaver's list in " + file + "; the old file is kept as " + backup + ".\n"};
    }

    const std::string command = entryCommand(r.ProgramPath);
    if (command.empty())
        return failed("The path of this screensaver holds a line break or another control character, which XScreenSaver's list cannot hold. Move it to a plainly named folder and run " + std::string(option) + " again.");
    const std::string line = entryLine(name, command);
    // The daemon's own list comes first, so that our entry is added after it.
    std::string defaults, defaultsFile;
    for (const std::string& d : r.Defaults) {
        std::string p;
        if (readSmallFile(d, defaults, p) == ReadOutcome::Read) {
            defaultsFile = d;
            break;
        }
        defaults.clear();
    }
    const bool created = read == ReadOutcome::Missing;
    if (created) {
        const auto fresh = defaultsFile.empty() ? std::nullopt : preferencesFromDefaults(defaults, defaultsFile);
        if (!fresh)
            return failed("There is no " + file + " yet, and XScreenSaver's defaults were not found to make one. " +
                          runSettingsAdvice(file, r.ProgramPath, option));
        text = *fresh;
        mode = 0644 & ~[] { const mode_t m = ::umask(0); ::umask(m); return m; }();
    }
    std::string changed = text;
    Change done = addProgram(changed, line, ours);
    if (done == Change::NoList) {
        // Settings without a list of their own use the daemon's: add it, then ours.
        const auto fresh = defaultsFile.empty() ? std::nullopt : preferencesFromDefaults(defaults, defaultsFile);
        const std::string list = fresh ? fresh->substr(fresh->find("\nprograms:") + 1) : "programs:\n";
        changed += (changed.empty() || changed.back() == '\n' ? "" : "\n") + std::string("\n") + list;
        done = addProgram(changed, line, ours);
    }
    if (done == Change::AlreadyThere)
        return {0, "\"" + name + "\" is already in XScreenSaver's list in " + file + ".\n"};
    if (done != Change::Added && done != Change::TurnedOn)
        return failed("XScreenSaver's settings in " + file + " could not be read. " + runSettingsAdvice(file, r.ProgramPath, option));
    const std::string backup = file + ".glimmer-backup";
    if ((!created && !replaceFile(backup, text, mode, problem)) || !replaceFile(file, changed, mode, problem)) {
        return failed("XScreenSaver's settings cannot be changed: " + problem + ". Add this line to the programs: list in " +
                      file + " yourself:\n" + line + " \\n\\");
    }
    std::size_t index = 0;
    if (const auto list = findPrograms(changed)) {
        const auto& e = list->Entries;
        index = std::size_t(std::find_if(e.begin(), e.end(), ours) - e.begin()) + 1;
    }
    std::string message = std::string(done == Change::TurnedOn ? "Turned on" : "Added") + " \"" + name + "\" in XScreenSaver's list in " + file;
    message += created ? " (a new file, made from " + defaultsFile + ").\n" : "; the old file is kept as " + backup + ".\n";
    message += "Choose it in xscreensaver-settings, or show it now with: xscreensaver-command -select " + std::to_string(index) + "\n";
    return {0, message};
}

} // namespace

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

} // namespace player
